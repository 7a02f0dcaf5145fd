#include "index/index_load.h"

#include <string>

#include "common/block_files.h"
#include "folder/folder_files.h"
#include "frame/file_helpers.h"
#include "index/index_document.h"
#include "index/index_scan.h"
#include "index/store_index.h"
#include "platform/diagnostics.h"
#include "platform/listing.h"

namespace qx {

namespace {

// The document the object holds, made when it holds none; none when the
// document layer cannot make one.
XmlDocument DocumentToFill(StoreIndex* index) {
  XmlDocument document = HeldDocument(index);
  if (document) return document;
  document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (document) HoldDocument(index, document);
  return document;
}

// Loads `file` into the object's document under the block. False when the
// block is busy, no document can be made, or the file does not load.
bool LoadUnderBlock(StoreIndex* index, const std::string& block, const std::string& file) {
  if (TakeIndexBlock(block.c_str(), true, &index->block_handle) != 1) return false;
  XmlDocument document = DocumentToFill(index);
  bool loaded = false;
  if (!document) {
    platform::DiagPrintf("unable to initialize com resources\n");
  } else {
    loaded = LoadDocumentFile(document, file);
  }
  ReleaseIndexBlock(block.c_str(), index->block_handle != 0, &index->block_handle);
  return loaded;
}

bool FileExists(const std::string& path) {
  platform::FindData found;
  return platform::FindFirst(path, &found);
}

}  // namespace

XmlDocument LoadIndexDocument(StoreIndex* index, std::string_view directory) {
  if (directory.data() != index->folder_directory) SetFolderDirectory(index, directory);
  const std::string dir(directory);
  const std::string file = FolderFilePath(dir, IndexFileNameFor(index->folder_type));
  const std::string block = FolderFilePath(dir, kIndexBlockFileName);
  if (LoadUnderBlock(index, block, file)) return HeldDocument(index);
  if (!FileExists(FolderFilePath(dir, kIndexFileName))) {
    ScanFolderIndex(index, false, false, kNoSocket, kScanDefault);
    TouchFile(file.c_str());
    if (LoadUnderBlock(index, block, file)) return HeldDocument(index);
  }
  ReleaseIndexDocument(index);
  return XmlDocument();
}

}  // namespace qx
