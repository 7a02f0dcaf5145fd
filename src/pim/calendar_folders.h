#pragma once
// Plugs the calendar into the store: folders of type 2 (appointments) are
// served by the appointment code of this folder through the store-item
// interface (store/item_kinds.h), and their index is opened and scanned by
// it (index/folder_type_handlers.h).

namespace qx {

// Registers the appointment item kind and the Calendar folder's index
// functions. Called from StoreLibraryInit, before any folder is opened.
void RegisterCalendarFolders();

}  // namespace qx
