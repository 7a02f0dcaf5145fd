#include "pim/ical_folder.h"

#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "pim/ical_feed.h"
#include "pim/ical_property.h"

namespace qx {

namespace {

class ICalendarFolderFeed : public CalendarFeed {
 public:
  uint32_t Open(std::string_view source) override { return feed_.Open(source) ? 1 : 0; }
  uint32_t FindFirst() override { return feed_.FirstItem() ? 1 : 0; }
  uint32_t FindNext() override { return feed_.NextItem() ? 1 : 0; }

  PropertyRead GetProperty(std::string_view name) override { return ICal_ReadMappedProperty(feed_, Mapped(name)); }

 private:
  // A walk asks for the same few names at every event: the names asked
  // for last are kept with their entries, compared byte for byte (in a
  // loop: the names are short, and calling memcmp for each costs more).
  static bool SameBytes(std::string_view known, std::string_view name) {
    if (known.size() != name.size()) return false;
    if (name.size() >= 8 && name.size() <= 16) {
      // The first and the last eight bytes, overlapping, are all of them.
      const auto word = [](std::string_view text, size_t at) {
        uint64_t bytes = 0;
        std::memcpy(&bytes, text.data() + at, 8);
        return bytes;
      };
      const size_t last = name.size() - 8;
      return word(known, 0) == word(name, 0) && word(known, last) == word(name, last);
    }
    for (size_t i = 0; i < name.size(); ++i) {
      if (known[i] != name[i]) return false;
    }
    return true;
  }

  struct MappedName {
    std::string name;
    std::optional<ICalPropertyMapEntry> entry;
  };

  const std::optional<ICalPropertyMapEntry>& Mapped(std::string_view name) {
    for (const MappedName& known : names_) {
      if (SameBytes(known.name, name) && !known.name.empty()) return known.entry;
    }
    MappedName& slot = names_[next_name_++ % names_.size()];
    slot.name = name;
    slot.entry = ICal_MapProperty(name);
    return slot.entry;
  }

  ICalFeed feed_;
  std::array<MappedName, 8> names_;
  size_t next_name_ = 0;
};

}  // namespace

std::unique_ptr<CalendarFeed> NewICalendarFolderFeed() { return std::make_unique<ICalendarFolderFeed>(); }

}  // namespace qx
