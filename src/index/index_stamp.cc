#include "index/index_stamp.h"

#include "folder/folder_files.h"
#include "index/store_index.h"
#include "platform/file_time.h"
#include "platform/listing.h"

namespace qx {

uint32_t FolderIndexStamp(std::string_view folder_directory, uint32_t folder_type) {
  platform::FindData found;
  if (!platform::FindFirst(FolderFilePath(folder_directory, IndexFileNameFor(folder_type)), &found)) {
    return 0;
  }
  return platform::DosStampFromFileTime(found.last_write_time);
}

uint32_t StoredIndexStamp(uint32_t stamp) { return stamp == 0 ? kNoIndexStamp : stamp; }

}  // namespace qx
