#include "index/index_load.h"

#include <string>

#include "common/block_files.h"
#include "folder/folder_files.h"
#include "frame/file_helpers.h"
#include "index/held_index_state.h"
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

enum class Load { kLoaded, kBusy, kFailed };

// Loads `file` into the object's document under the block.
Load LoadUnderBlock(StoreIndex* index, const std::string& block, const std::string& file) {
  if (TakeIndexBlock(block.c_str(), true, &index->block_handle) != 1) return Load::kBusy;
  XmlDocument document = DocumentToFill(index);
  bool loaded = false;
  if (!document) {
    platform::DiagPrintf("unable to initialize com resources\n");
  } else {
    std::optional<platform::FileVersion> version;
    loaded = LoadDocumentFile(document, file, &version);
    if (loaded) NoteDocumentIsFile(index, version);
  }
  ReleaseIndexBlock(block.c_str(), index->block_handle != 0, &index->block_handle);
  return loaded ? Load::kLoaded : Load::kFailed;
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
  const Load first = LoadUnderBlock(index, block, file);
  if (first == Load::kLoaded) return HeldDocument(index);
  const bool exists = FileExists(FolderFilePath(dir, kIndexFileName));
  // A mail index that exists but does not load is rebuilt by the scan from
  // what it still holds and the folder's files.
  const bool salvage = exists && first == Load::kFailed && index->folder_type == kFolderTypeMail;
  if (!exists || salvage) {
    ScanFolderIndex(index, false, false, kNoSocket, kScanDefault);
    if (!exists) TouchFile(file.c_str());
    if (LoadUnderBlock(index, block, file) == Load::kLoaded) return HeldDocument(index);
  }
  ReleaseIndexDocument(index);
  return XmlDocument();
}

}  // namespace qx
