#include "pim/contact_index.h"

#include <string>

#include "folder/folder_files.h"
#include "folder/folder_flags.h"
#include "frame/file_helpers.h"
#include "index/index_document.h"
#include "index/store_index.h"
#include "pim/contact_scan.h"

namespace qx {

XmlDocument Contact_OpenIndex(StoreIndex* holder, std::string_view folder_path, bool reuse) {
  if (reuse) {
    if (XmlDocument held = HeldDocument(holder)) return held;
  }
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document) return XmlDocument();
  const std::string index_path = FolderFilePath(folder_path, kIndexFileName);
  if (CheckFolderFlags(folder_path, false, FolderFlag::kChanged, true) == 1) {
    ScanContacts(folder_path, false, 0);
    TouchFile(index_path.c_str());
  }
  if (!LoadDocumentFile(document, index_path)) return XmlDocument();
  HoldDocument(holder, document);
  return document;
}

}  // namespace qx
