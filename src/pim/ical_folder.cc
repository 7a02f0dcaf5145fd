#include "pim/ical_folder.h"

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
    ICal_GetProperty(feed_, name, &value_);
    if (value_.result != 2) {
      PropertyRead read;
      read.result = value_.result;
      return read;
    }
    return PropertyRead::Allocated(AllocatedValue::Copy(value_.bytes), value_.type);
  }

 private:
  ICalFeed feed_;
  ICalPropertyValue value_;  // the last read, its memory kept for the next
};

}  // namespace

std::unique_ptr<CalendarFeed> NewICalendarFolderFeed() { return std::make_unique<ICalendarFolderFeed>(); }

}  // namespace qx
