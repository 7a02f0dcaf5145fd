#include "store/folder_dates.h"

#include <string>

#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "frame/file_helpers.h"
#include "platform/file.h"
#include "store/folder_index_file.h"
#include "store/store_folder_record.h"

namespace qx {

uint32_t ContentsModificationDate(const STOREFOLDER& folder) {
  const std::string directory = StoreFolderOwnDirectory(folder);
  if (directory.empty()) return 0;
  const char* text = directory.c_str();
  std::string change_flag = FolderFlagPath(text, FolderFlag::kChanged, EndsWithSeparator(text));
  if (!change_flag.empty() &&
      platform::GetFileAttributes(change_flag) != platform::kInvalidAttributes) {
    return 0;
  }
  std::string index_path = IndexFilePath(text);
  return index_path.empty() ? 0 : GetFileDosStamp(index_path.c_str());
}

uint32_t HierarchyModificationDate(const STOREFOLDER& folder) {
  const std::string directory = StoreFolderOwnDirectory(folder);
  return directory.empty() ? 0 : FolderIndexStamp(directory);
}

}  // namespace qx
