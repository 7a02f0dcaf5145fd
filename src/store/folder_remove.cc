#include "store/folder_remove.h"

#include <string>

#include "common/exception.h"
#include "common/file_management.h"
#include "frame/store_paths.h"
#include "frame/store_roots.h"
#include "frame/bounded_text.h"
#include "platform/file.h"
#include "shares/share_documents.h"
#include "shares/share_remove.h"
#include "store/folder_index_file.h"
#include "folder/folder_files.h"
#include "folder/folder_size_cache.h"
#include "store/store_folder_record.h"

namespace qx {

namespace {

void WithdrawShares(const STOREFOLDER& folder) {
  char resource[kShareResourceSize];
  CopyBounded(resource, StoreFolderPath(folder).c_str(), sizeof resource);
  std::string mailbox = RecordText(folder.mailbox);
  std::string postoffice = RecordText(folder.postoffice);
  Share_Remove(resource, sizeof resource, 1, mailbox.c_str(), postoffice.c_str());
}

bool DeleteTreeQuietly(const std::string& directory) {
  try {
    DeleteTree(directory);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

void DropMailboxSizeCache(const STOREFOLDER& folder) {
  std::string mailbox = RecordText(folder.mailbox);
  std::string postoffice = RecordText(folder.postoffice);
  std::string mailbox_directory = MailboxDirectory(postoffice.c_str(), mailbox.c_str());
  if (!mailbox_directory.empty()) platform::DeleteFile(SizeCachePath(mailbox_directory));
}

}  // namespace

uint32_t RemoveFolder(STOREFOLDER* folder) {
  if (IsPublicRootPath(RecordText(folder->parent))) return 0;
  const std::string own_directory = StoreFolderOwnDirectory(*folder);
  if (own_directory.empty()) return 0;
  // An empty mailbox and folder name would name a whole MAILROOT.
  if (IsStoreRoot(own_directory, RecordText(folder->postoffice).c_str())) return 0;
  WithdrawShares(*folder);
  // Stale before the directory changes (a crash then leaves the mark), and
  // again after, in case a rebuild of the list took the first mark away.
  MarkFolderIndexDirty(ParentDirectoryOf(own_directory));
  bool deleted = DeleteTreeQuietly(own_directory);
  MarkFolderIndexDirty(ParentDirectoryOf(own_directory));
  DropMailboxSizeCache(*folder);
  return deleted ? 1 : 0;
}

}  // namespace qx
