#pragma once
// The reader behind store folders of type 5 (store/item_kinds.h): an
// iCalendar feed whose items are its VEVENTs and whose properties are read
// with ICal_GetProperty.

#include <memory>

#include "store/item_kinds.h"

namespace qx {

// A new reader, for RegisterCalendarFeed (called at library start).
std::unique_ptr<CalendarFeed> NewICalendarFolderFeed();

}  // namespace qx
