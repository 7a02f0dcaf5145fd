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
  bool created = platform::CreateDirectory(own_directory);
  if (!FolderIndexListsName(directory, name)) MarkFolderIndexDirty(directory);
  return created ? 1 : 0;
}

}  // namespace qx
