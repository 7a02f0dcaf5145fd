#include "pim/contact_item_kind.h"

#include <string>

#include "frame/store_paths.h"
#include "index/folder_type_handlers.h"
#include "index/index_format.h"
#include "index/store_index.h"
#include "message/item_file_name.h"
#include "pim/contact_index.h"
#include "pim/contact_properties.h"
#include "pim/contact_property_map.h"
#include "pim/contact_save.h"
#include "pim/contact_scan.h"
#include "pim/vcard_element.h"
#include "platform/file.h"
#include "store/item_kinds.h"
#include "store/item_properties.h"

namespace qx {

namespace {

PropertyRead GetContactProperty(const ItemRef& item, std::string_view name) {
  if (!Contact_MapProperty(name)) return ReadContextProperty(item, name);
  return Contact_GetProperty(item, name);
}

PropertyWrite SetContactProperty(const ItemRef& item, std::string_view name, const void* value) {
  if (!Contact_MapProperty(name)) return PropertyWrite::kUnknownProperty;
  return Contact_SetProperty(item, name, value) == 1 ? PropertyWrite::kWritten
                                                     : PropertyWrite::kFailed;
}

// The element of one contact opened alone, read from its file; false when
// the file cannot be opened.
bool LoadContactItem(StoreIndex* index, std::string_view folder_directory,
                     std::string_view item_id, pugi::xml_node* entry) {
  if (!IsPlainFileName(item_id)) return false;
  platform::File file = platform::File::Open(JoinStorePath(folder_directory, item_id),
                                             platform::Access::kRead,
                                             platform::Disposition::kOpenExisting);
  if (!file.valid()) return false;
  StoreIndexLock lock(index);
  pugi::xml_node root = HeldDocument(index).DocumentElement();
  const pugi::xml_node element = root.append_child(kEntryElement);
  if (!RebuildContactElement(element, item_id, &file, std::nullopt)) {
    root.remove_child(element);
    return false;
  }
  *entry = element;
  return true;
}

bool WriteContactItem(const ItemRef& item) {
  bool written = false;
  Contact_Save(item, &written);
  return written;
}

void RemoveContactItem(const ItemRef& item) {
  DeleteContactFile(item, item.entry.attribute(kIdAttribute).value());
}

uint32_t ScanContactFolder(StoreIndex* index, uint32_t mode) {
  return ScanContacts(index->folder_directory, false, mode);
}

uint32_t HoldContactIndex(StoreIndex* index) {
  return Contact_OpenIndex(index, index->folder_directory, true) ? 1 : 0;
}

const ItemKind kContactKind{
    .table = PropertyTableFor(kFolderTypeContacts),
    .default_component = DefaultComponentFor(kFolderTypeContacts),
    .get_property = GetContactProperty,
    .set_property = SetContactProperty,
    .load_item = LoadContactItem,
    .write_item = WriteContactItem,
    .remove_item = RemoveContactItem,
};

}  // namespace

void RegisterContactFolders() {
  RegisterItemKind(kFolderTypeContacts, &kContactKind);
  SetFolderTypeHandlers(kFolderTypeContacts, {ScanContactFolder, HoldContactIndex});
}

}  // namespace qx
