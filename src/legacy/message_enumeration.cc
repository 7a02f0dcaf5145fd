#include "legacy/message_enumeration.h"

#include <string>

#include "folder/index_file_availability.h"
#include "frame/thread_state.h"
#include "index/folder_type_handlers.h"
#include "index/index_scan.h"
#include "index/store_index.h"
#include "xml/xslt_transform.h"
#include "legacy/legacy_item_list.h"
#include "legacy/legacy_state_lock.h"
#include "qxstore_record_text.h"
#include "frame/number_text.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

// The contact scan rebuilds the index of both special folders here.
void ScanContactFolder(const MESSAGELISTRECORD& list, const std::string& folder_directory) {
  FolderTypeScan scan = FolderTypeHandlersFor(kFolderTypeContacts).scan;
  if (scan == nullptr) return;
  StoreIndex index;
  InitStoreIndex(&index);
  const std::string postoffice = RecordText(list.postoffice);
  const std::string mailbox = RecordText(list.mailbox);
  const std::string folder = RecordText(list.folder);
  SetStoreIndexNames(&index, postoffice.c_str(), mailbox.c_str(), folder.c_str());
  SetFolderDirectory(&index, folder_directory);
  index.folder_type = kFolderTypeContacts;
  scan(&index, kScanDefault);
  ReleaseStoreIndex(&index);
}

void RebuildFolderIndex(const MESSAGELISTRECORD& list, const std::string& folder_directory) {
  if (IsContactScannedFolder(RecordText(list.folder))) {
    ScanContactFolder(list, folder_directory);
  } else {
    ScanFolders(folder_directory.c_str(), false, false);
  }
}

// The list of a filtered enumeration: the stylesheet's output must keep the
// BASEELEMENT/ELEMENT shape for anything to be listed. False when the
// filter does not parse or cannot be applied.
bool SelectFilteredElements(const std::string& filter) {
  XmlDocument stylesheet = XmlDocument::New();
  if (!stylesheet.LoadXml(filter)) return false;
  LegacyEnumeration& enumeration = ProcessLegacyEnumeration();
  XmlDocument transformed = TransformNode(enumeration.document.dom(), stylesheet);
  if (!transformed) return false;
  enumeration.list.Select(transformed, kAllElementsQuery);
  return true;
}

void FillItem(pugi::xml_node element, MESSAGEITEMRECORD* item) {
  const char* id = AttributeValue(element, "ID");
  const char* uid = AttributeValue(element, "UID");
  item->status = 0;
  item->uid = uid != nullptr ? LeadingInt32(uid) : 0;
  SetRecordText(item->id, id != nullptr ? id : "");
  SetRecordText(item->xml, NodeXml(element));
}

}  // namespace

bool IsContactScannedFolder(std::string_view folder_text) {
  return EqualsNoCase(folder_text, "\\Contacts") || EqualsNoCase(folder_text, "\\Calendar");
}

uint32_t LocalMessageItemFindFirst(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item) {
  if (list == nullptr || item == nullptr) return 0;
  LegacyStateLock lock;
  const std::string folder_directory = MessageListFolderDirectory(*list);
  // A path that does not fit names no folder; never scan or block elsewhere.
  if (folder_directory.empty()) {
    ProcessLegacyEnumeration().document = XmlDocument();
    return 0;
  }
  if (list->rescan != 0 || ProbeIndexFile(folder_directory.c_str(), 1) == 0) {
    RebuildFolderIndex(*list, folder_directory);
  }
  SetEnumerationCursor(0);
  if (!LoadLegacyIndexDocument(folder_directory)) return 0;

  const std::string filter = RecordText(list->filter);
  if (filter.empty()) {
    LegacyEnumeration& enumeration = ProcessLegacyEnumeration();
    enumeration.list.Select(enumeration.document, kAllElementsQuery);
  } else if (!SelectFilteredElements(filter)) {
    return 0;
  }
  return LocalMessageItemFindNext(list, item);
}

uint32_t LocalMessageItemFindNext(MESSAGELISTRECORD*, MESSAGEITEMRECORD* item) {
  if (item == nullptr) return 0;
  LegacyStateLock lock;
  LegacyItemList& items = ProcessLegacyEnumeration().list;
  const uintptr_t position = EnumerationCursor();
  pugi::xml_node element = items.At(position);
  if (!element) {
    items.Release();
    return 0;
  }
  FillItem(element, item);
  SetEnumerationCursor(position + 1);
  return 1;
}

uint32_t LocalMessageItemFindClose(MESSAGELISTRECORD*) {
  LegacyStateLock lock;
  ProcessLegacyEnumeration().document = XmlDocument();
  return 1;
}

uint32_t LocalMessageItemListSetPosition(uint32_t* position) {
  if (position == nullptr) return 0;
  SetEnumerationCursor(*position);
  return 1;
}

}  // namespace qx
