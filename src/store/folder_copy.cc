#include "store/folder_copy.h"

#include <string>

#include "common/file_management.h"
#include "platform/file.h"
#include "store/folder_index_file.h"
#include "store/well_known_folders.h"
#include "store/store_folder_record.h"

namespace qx {

uint32_t CopyFolder(STOREFOLDER* source, STOREFOLDER* target) {
  CanonicaliseSpecialFolderName(source);
  CanonicaliseSpecialFolderName(target);
  const std::string from = StoreFolderOwnDirectory(*source);
  const std::string to = StoreFolderOwnDirectory(*target);
  if (from.empty() || to.empty() || IsSameOrBelow(to, from)) return 0;
  MarkFolderIndexDirty(ParentDirectoryOf(to));  // before the new folder appears
  bool copied = CopyTree(from, to, true, nullptr);
  // Even a partial copy may have made the target directory.
  if (copied || platform::IsDirectory(to)) MarkFolderIndexDirty(ParentDirectoryOf(to));
  return copied ? 1 : 0;
}

}  // namespace qx
