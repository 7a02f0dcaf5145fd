#include "store/folder_add.h"

#include <string>

#include "frame/store_paths.h"
#include "platform/file.h"
#include "store/folder_index_file.h"
#include "store/well_known_folders.h"
#include "store/store_folder_record.h"

namespace qx {

uint32_t AddFolder(STOREFOLDER* folder) {
  CanonicaliseSpecialFolderName(folder);
  const std::string name = RecordText(folder->name);
  if (name.empty()) return 0;
  if (IsTopLevelParent(RecordText(folder->parent)) && IsPublicRootPath(name) &&
      PublicFoldersEnabled() != 0) {
    return 0;
  }
  const std::string directory = StoreFolderDirectory(*folder);
  const std::string own_directory = StoreFolderOwnDirectory(*folder);
  if (directory.empty() || own_directory.empty()) return 0;
  // The list is marked stale before the directory changes, so that a crash
  // in between never leaves it current and wrong, and again after, in case
  // a rebuild of the list took the first mark away meanwhile.
  const bool listed = FolderIndexListsName(directory, name);
  if (!listed) MarkFolderIndexDirty(directory);
  bool created = platform::CreateDirectory(own_directory);
  if (!listed && created) MarkFolderIndexDirty(directory);
  return created ? 1 : 0;
}

}  // namespace qx
