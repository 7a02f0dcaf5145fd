#include "index/index_stamp.h"

#include "index/index_format.h"
#include "index/store_index.h"
#include "platform/file_time.h"
#include "platform/listing.h"

namespace qx {

const char* IndexFileNameFor(uint32_t folder_type) {
  return folder_type == kFolderTypeGroups ? kGroupIndexFileName : kIndexFileName;
}

const char* IndexBlockNameFor(uint32_t folder_type) {
  return folder_type == kFolderTypeGroups ? "_groups.blk" : "_index.blk";
}

std::string FolderFilePath(std::string_view folder_directory, std::string_view name) {
  std::string path;
  path.reserve(folder_directory.size() + 1 + name.size());
  path.append(folder_directory);
  path += '\\';
  path.append(name);
  return path;
}

uint32_t FolderIndexStamp(std::string_view folder_directory, uint32_t folder_type) {
  platform::FindData found;
  if (!platform::FindFirst(FolderFilePath(folder_directory, IndexFileNameFor(folder_type)), &found)) {
    return 0;
  }
  return platform::DosStampFromFileTime(found.last_write_time);
}

uint32_t StoredIndexStamp(uint32_t stamp) { return stamp == 0 ? kNoIndexStamp : stamp; }

}  // namespace qx
