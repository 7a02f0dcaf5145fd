#include "legacy/legacy_item_list.h"

#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "index/index_document.h"
#include "qxstore_record_text.h"

namespace qx {

pugi::xml_node LegacyItemList::At(size_t position) const {
  if (position >= nodes_.size()) return pugi::xml_node();
  return nodes_[position].node();
}

void LegacyItemList::Select(const XmlDocument& document, const char* query) {
  exists_ = true;
  owner_ = document;
  nodes_ = document ? SelectNodes(document.dom(), query) : pugi::xpath_node_set();
}

void LegacyItemList::Release() {
  exists_ = false;
  nodes_ = pugi::xpath_node_set();
  owner_ = XmlDocument();
}

LegacyEnumeration& ProcessLegacyEnumeration() {
  // Never destroyed: a late call during process exit must still find it.
  static LegacyEnumeration* enumeration = new LegacyEnumeration();
  return *enumeration;
}

std::string MessageListFolderDirectory(const MESSAGELISTRECORD& list) {
  char directory[kFlagPathSize];
  const std::string postoffice = RecordText(list.postoffice);
  const std::string mailbox = RecordText(list.mailbox);
  const std::string folder = RecordText(list.folder);
  if (!GetMessageFolderPath(directory, sizeof directory, postoffice.c_str(), mailbox.c_str(),
                            folder.c_str())) {
    return {};
  }
  return directory;
}

bool LoadLegacyIndexDocument(const std::string& folder_directory) {
  XmlDocument& document = ProcessLegacyEnumeration().document;
  document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document || folder_directory.empty()) return false;
  const std::string path = IndexFilePath(folder_directory.c_str(), kFlagPathSize + 16);
  return !path.empty() && LoadDocumentFile(document, path);
}

}  // namespace qx
