#include "folder/index_file_availability.h"

#include <string>

#include "common/block_files.h"
#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "platform/diagnostics.h"
#include "platform/listing.h"

namespace qx {

namespace {

// -1 when the block could not be taken, else whether the index file exists;
// *released tells whether a taken block was deleted again. Both paths are
// cut to 1023 bytes, as these callers always cut them.
int CheckIndexFileUnderBlock(const char* folder_directory, bool take, bool* released) {
  const std::string block_path =
      JoinStorePathCut(folder_directory, kIndexBlockFileName, kStorePathSize);
  const std::string index_path = JoinStorePathCut(folder_directory, kIndexFileName, kStorePathSize);
  *released = true;
  if (take && TakeIndexBlock(block_path.c_str(), false, nullptr) == 0) return -1;
  platform::FindData found;
  int exists = platform::FindFirst(index_path, &found) ? 1 : 0;
  if (take) *released = DeleteIndexBlockFile(block_path.c_str()) != 0;
  return exists;
}

}  // namespace

uint32_t CheckIndexFileAvailability(const char* folder_directory, int mode) {
  if (folder_directory == nullptr) return 0;
  bool released;
  int exists = CheckIndexFileUnderBlock(folder_directory, mode != kCheckWithoutBlock, &released);
  if (exists < 0) return 5;
  if (!released) platform::DiagPrintf("CheckIndexFileAvailability::Unable to remove blocking file");
  return static_cast<uint32_t>(exists);
}

uint32_t ProbeIndexFile(const char* folder_directory, int take) {
  if (folder_directory == nullptr) return 0;
  bool released;
  int exists = CheckIndexFileUnderBlock(folder_directory, take != 0, &released);
  return exists < 0 ? 0 : static_cast<uint32_t>(exists);
}

}  // namespace qx
