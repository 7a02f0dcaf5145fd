#include "pim/ical_folder.h"

#include <array>
#include <optional>
#include <string>

#include "frame/same_bytes.h"
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
  // for last are kept with their entries, compared byte for byte.
  struct MappedName {
    std::string name;
    std::optional<ICalPropertyMapEntry> entry;
  };

  // The search starts after the name found last: a walk asks for its names
  // in the same order at every event, so the first one tried is the one.
  const std::optional<ICalPropertyMapEntry>& Mapped(std::string_view name) {
    for (size_t tried = 1; tried <= names_.size(); ++tried) {
      const size_t at = (last_found_ + tried) % names_.size();
      const MappedName& known = names_[at];
      if (SameBytes(known.name, name) && !known.name.empty()) {
        last_found_ = at;
        return known.entry;
      }
    }
    last_found_ = next_name_ % names_.size();
    MappedName& slot = names_[next_name_++ % names_.size()];
    slot.name = name;
    slot.entry = ICal_MapProperty(name);
    return slot.entry;
  }

  ICalFeed feed_;
  std::array<MappedName, 8> names_;
  size_t next_name_ = 0;
  size_t last_found_ = 0;
};

}  // namespace

std::unique_ptr<CalendarFeed> NewICalendarFolderFeed() { return std::make_unique<ICalendarFolderFeed>(); }

}  // namespace qx
