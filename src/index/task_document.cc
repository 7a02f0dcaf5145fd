#include "index/task_document.h"

#include <string>

#include "frame/file_helpers.h"
#include "index/index_document.h"
#include "index/store_index.h"
#include "platform/listing.h"
#include "folder/folder_files.h"
#include "folder/folder_flags.h"

namespace qx {

uint32_t LoadTaskDocument(StoreIndex* index) {
  if (HeldDocument(index)) return 1;
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document) return 0;
  if (SetStoreIndexPaths(index) == 0 || index->folder_directory[0] == '\0') return 0;
  const std::string path = FolderFilePath(index->folder_directory, kIndexFileName);
  const bool dirty = CheckFolderFlags(index->folder_directory, false, FolderFlag::kChanged, true) == 1;
  platform::FindData found;
  if (dirty && !platform::FindFirst(path, &found)) {
    if (!InitializeIndexDocument(document)) return 0;
    TouchFile(path.c_str());
    HoldDocument(index, document);
    return 1;
  }
  if (!LoadDocumentFile(document, path)) return 0;
  HoldDocument(index, document);
  return 1;
}

}  // namespace qx
