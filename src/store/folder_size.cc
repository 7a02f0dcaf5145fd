#include "store/folder_size.h"

#include <algorithm>
#include <string>

#include "folder/folder_files.h"
#include "frame/store_names.h"
#include "index/folder_rescan.h"
#include "index/index_document.h"
#include "index/index_format.h"
#include "xml/xml_document.h"
#include "xml/xslt_transform.h"
#include "frame/number_text.h"
#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "store/folder_find.h"
#include "store/folder_list.h"
#include "store/store_folder_record.h"

namespace qx {

namespace {

const XmlDocument* SizeSumStylesheet() {
  static const XmlDocument stylesheet = [] {
    XmlDocument document = XmlDocument::New();
    if (!document.LoadXml(kSizeSumStylesheet)) {
      platform::DiagPrintf("ERROR: Failed to load XML of TransXML  ");
      return XmlDocument();
    }
    return document;
  }();
  return stylesheet ? &stylesheet : nullptr;
}

std::string ChildParentPath(const STOREFOLDER& folder) {
  return RecordText(folder.parent) + "/" + RecordText(folder.name);
}

uint64_t ChildrenSizeBytes(const STOREFOLDER& folder) {
  // A list of our own per level, so a recursion never moves the position of
  // the enumeration above it.
  FolderList list;
  STOREFOLDER cursor = folder;
  uint64_t total = 0;
  for (uint32_t found = FindFirstChildFolder(&cursor, &list); found == 1;
       found = FindNextChildFolder(&cursor, &list)) {
    STOREFOLDER child = folder;
    SetRecordText(child.parent, ChildParentPath(cursor));
    child.name[0] = '\0';
    total += FolderTreeSizeBytes(child);
  }
  CloseChildFolderFind(cursor, &list);
  return total;
}

}  // namespace

uint64_t IndexSizeBytes(const char* folder_directory) {
  const XmlDocument* stylesheet = SizeSumStylesheet();
  if (stylesheet == nullptr) return 0;
  XmlDocument index = XmlDocument::New();
  if (!LoadDocumentFile(index, FolderFilePath(folder_directory, kIndexFileName))) return 0;
  XmlDocument sum = TransformNode(index.dom(), *stylesheet);
  if (!sum) return 0;
  const int64_t bytes = LeadingInteger(NodeText(sum.DocumentElement()));
  return bytes < 0 ? 0 : static_cast<uint64_t>(bytes);
}

uint64_t FolderTreeSizeBytes(const STOREFOLDER& folder) {
  STOREFOLDER own = folder;
  own.name[0] = '\0';
  const std::string directory = StoreFolderDirectory(own);
  if (directory.empty()) return 0;
  RescanFolderBeforeSizeSum(RecordText(own.parent), directory);
  return IndexSizeBytes(directory.c_str()) + ChildrenSizeBytes(own);
}

uint32_t GetStoreFolderSize(STOREFOLDER* folder) {
  folder->size = 0;
  STOREFOLDER own = *folder;
  own.name[0] = '\0';
  // A parent path that does not fit still gives size 0 and 1; one that leads
  // out of the store is refused.
  platform::SetLastError(platform::kErrorSuccess);
  if (StoreFolderDirectory(own).empty() && IsConfinementRefusal(platform::GetLastError())) return 0;
  folder->size = static_cast<uint32_t>(std::min<uint64_t>(FolderTreeSizeBytes(*folder), UINT32_MAX));
  return 1;
}

}  // namespace qx
