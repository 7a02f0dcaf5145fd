#include "pim/ical_folder.h"

#include <array>
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

  PropertyRead GetProperty(std::string_view name) override {
    ICal_GetMappedProperty(feed_, Mapped(name), &value_);
    if (value_.result != 2) {
      PropertyRead read;
      read.result = value_.result;
      return read;
    }
    return PropertyRead::Allocated(AllocatedValue::Copy(value_.bytes), value_.type);
  }

 private:
  // A walk asks for the same few names at every event: the names asked
  // for last are kept with their entries, compared byte for byte.
  struct MappedName {
    std::string name;
    std::optional<ICalPropertyMapEntry> entry;
  };

  const std::optional<ICalPropertyMapEntry>& Mapped(std::string_view name) {
    for (const MappedName& known : names_) {
      if (known.name == name && !known.name.empty()) return known.entry;
    }
    MappedName& slot = names_[next_name_++ % names_.size()];
    slot.name = name;
    slot.entry = ICal_MapProperty(name);
    return slot.entry;
  }

  ICalFeed feed_;
  ICalPropertyValue value_;  // the last read, its memory kept for the next
  std::array<MappedName, 8> names_;
  size_t next_name_ = 0;
};

}  // namespace

std::unique_ptr<CalendarFeed> NewICalendarFolderFeed() { return std::make_unique<ICalendarFolderFeed>(); }

}  // namespace qx
