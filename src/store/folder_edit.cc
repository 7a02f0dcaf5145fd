#include "store/folder_edit.h"

#include <string>

#include "common/exception.h"
#include "common/file_management.h"
#include "store/folder_index_file.h"
#include "store/well_known_folders.h"
#include "store/store_folder_record.h"

namespace qx {

namespace {

bool MoveDirectoryTree(const std::string& from, const std::string& to) {
  try {
    MoveFileOrTree(from, to, false);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool IsMoveIntoItself(const std::string& from, const std::string& to) {
  // Another spelling of the same directory renames it; only a target below
  // the source is impossible.
  return IsSameOrBelow(to, from) && !IsSameOrBelow(from, to);
}

}  // namespace

uint32_t EditFolder(STOREFOLDER* old_folder, STOREFOLDER* new_folder) {
  CanonicaliseSpecialFolderName(old_folder);
  CanonicaliseSpecialFolderName(new_folder);
  if (IsPublicRootPath(RecordText(old_folder->parent)) ||
      IsPublicRootPath(RecordText(new_folder->parent))) {
    return 0;
  }
  const std::string from = StoreFolderOwnDirectory(*old_folder);
  const std::string to = StoreFolderOwnDirectory(*new_folder);
  if (from.empty() || to.empty() || IsMoveIntoItself(from, to)) return 0;
  // Both lists are stale before the directories change (a crash then leaves
  // the marks), and again after, in case a rebuild took a mark away.
  MarkFolderIndexDirty(ParentDirectoryOf(from));
  MarkFolderIndexDirty(ParentDirectoryOf(to));
  if (!MoveDirectoryTree(from, to)) return 0;
  MarkFolderIndexDirty(ParentDirectoryOf(from));
  MarkFolderIndexDirty(ParentDirectoryOf(to));
  return 1;
}

}  // namespace qx
