#include "index/index_transaction.h"

#include <functional>
#include <string>

#include "common/block_files.h"
#include "frame/store_paths.h"
#include "frame/store_roots.h"
#include "index/folder_status.h"
#include "index/held_index_state.h"
#include "index/index_document.h"
#include "index/index_file_write.h"
#include "index/index_scan.h"
#include "index/index_stamp.h"
#include "index/store_index.h"
#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "folder/folder_files.h"
#include "folder/folder_flags.h"
#include "folder/notify_clients.h"

namespace qx {

namespace {

// "<postoffice dir>\MAILROOT\<mailbox>", the directory of the mailbox's
// activity file and size cache; empty for names that lead out of the store.
std::string MailboxDirectoryOf(const StoreIndex* index) {
  return PostofficeMailboxDirectory(index->postoffice, index->mailbox);
}

std::string BlockPathOf(const StoreIndex* index) {
  return FolderFilePath(index->folder_directory, IndexBlockNameFor(index->folder_type));
}

std::string IndexPathOf(const StoreIndex* index) {
  return FolderFilePath(index->folder_directory, IndexFileNameFor(index->folder_type));
}

void TraceForFolder(const char* text, const char* folder_directory, const char* tail) {
  platform::Trace(std::string(text) + folder_directory + tail);
}

// Writes the document; true when no other writer was found.
bool CommitTransactionDocument(StoreIndex* index) {
  return CommitTransactionWrite(
      index, [&] { return WriteObjectIndexFile(index); },
      // The write may have merged another writer's file: the count is of what was written.
      [&](FolderStatusRecord status) { ComputeFolderStatus(HeldDocument(index), status); });
}

}  // namespace

bool LoadTransactionDocument(StoreIndex* index) {
  XmlDocument document = HeldDocument(index);
  if (!document) {
    document = CreateIndexDocument(kXmlNotCompatibleMessage);
    if (!document) return false;
    HoldDocument(index, document);
  }
  std::optional<platform::FileVersion> version;
  if (LoadDocumentFile(document, IndexPathOf(index), &version)) {
    NoteDocumentIsFile(index, version);
    return true;
  }
  // A mail index that does not load is rebuilt, under the block this
  // transaction holds, from what it still holds and the folder's files; a
  // transaction on an empty document would write an index of its own
  // entries alone, their UIDs counted from 1 again.
  if (index->folder_type == kFolderTypeMail && platform::FileVersionOf(IndexPathOf(index)) &&
      ScanFolderIndex(index, false, false, kNoSocket, kScanCheckDirty) == 1 &&
      LoadDocumentFile(document, IndexPathOf(index), &version)) {
    index->index_stamp = StoredIndexStamp(FolderIndexStamp(index->folder_directory, index->folder_type));
    NoteDocumentIsFile(index, version);
    return true;
  }
  if (!InitializeIndexDocument(document)) return false;
  // An empty document stands for a folder that has no index file yet.
  if (!platform::FileVersionOf(IndexPathOf(index))) NoteDocumentIsFile(index, std::nullopt);
  return true;
}

std::string TransactionIndexPath(const StoreIndex* index) { return IndexPathOf(index); }

bool CommitTransactionWrite(StoreIndex* index, const std::function<IndexFileWrite()>& write,
                            const std::function<void(FolderStatusRecord status)>& count) {
  platform::CreateDirectory(index->folder_directory);
  TraceForFolder("StoreIndex_SaveAndClose::Committing Index for folder ", index->folder_directory,
                 "\n");
  StoreIndexLock lock(index);
  const IndexFileWrite written = write();
  bool committed = written.written;
  if (written.other_writer) {
    committed = false;
    TraceForFolder("StoreIndex_SaveAndClose::Failed to commit index for folder ",
                   index->folder_directory,
                   ". Index was changed while being transacted. Folder will be marked as dirty.\n");
  }
  if (committed) {
    count(index->folder_status);
    const std::string mailbox_directory = MailboxDirectoryOf(index);
    const std::string status_directory = JoinStorePath(mailbox_directory, index->folder);
    if (!mailbox_directory.empty() && IsInsideStore(status_directory, index->postoffice)) {
      WriteFolderStatusFile(FolderFilePath(status_directory, kFolderStatusFileName),
                            index->folder_status);
    }
    TraceForFolder("StoreIndex_SaveAndClose::SetCacheDetailsToFile for folder ",
                   index->folder_directory, "\n");
  } else {
    TraceForFolder("StoreIndex_SaveAndClose::Failed to commit index for folder ",
                   index->folder_directory, ". Folder will be marked as dirty.\n");
    MarkFolderChanged(index->folder_directory);
    // The caller learns why the write failed, not how the marking went.
    if (written.error != 0) platform::SetLastError(written.error);
  }
  return committed;
}

uint32_t BeginIndexTransaction(StoreIndex* index, const char* postoffice, const char* mailbox,
                               const char* folder, bool keep_open, uintptr_t* block_handle) {
  if (index == nullptr) return 0;
  SetStoreIndexNames(index, postoffice, mailbox, folder);
  if (index->folder_type != kFolderTypeGroups) index->folder_type = FolderTypeFromName(index->folder);
  ClearFolderDirectory(index);
  index->last_uid = 0;
  // Names that lead out of the store leave no directory: nothing is touched.
  if (SetStoreIndexPaths(index) == 0 || index->folder_directory[0] == '\0') return 0;
  if (index->mailbox[0] != '\0') {
    const std::string mailbox_directory = MailboxDirectoryOf(index);
    if (!mailbox_directory.empty()) NotifyClients(mailbox_directory, index->folder, "COMMIT");
  }

  const std::string block_path = BlockPathOf(index);
  uintptr_t* handle = block_handle != nullptr ? block_handle : &index->block_handle;
  if (TakeIndexBlock(block_path.c_str(), keep_open, handle) == 0) return 0;
  index->index_stamp = StoredIndexStamp(FolderIndexStamp(index->folder_directory, index->folder_type));
  return 1;
}

uint32_t OpenIndexForTransaction(StoreIndex* index, const char* postoffice, const char* mailbox,
                                 const char* folder, bool keep_open, uintptr_t* block_handle) {
  if (BeginIndexTransaction(index, postoffice, mailbox, folder, keep_open, block_handle) == 0) {
    return 0;
  }
  if (!LoadTransactionDocument(index)) {
    // Nobody would release a block taken for a transaction that never began.
    AbandonIndexTransaction(index, keep_open, block_handle);
    return 0;
  }
  return 1;
}

void AbandonIndexTransaction(StoreIndex* index, bool keep_open, uintptr_t* block_handle) {
  ReleaseIndexBlock(BlockPathOf(index).c_str(), keep_open,
                    block_handle != nullptr ? block_handle : &index->block_handle);
}

uint32_t OpenIndexForTransaction(StoreIndex* index, const char* postoffice, const char* mailbox,
                                 const char* folder) {
  return OpenIndexForTransaction(index, postoffice, mailbox, folder, false, nullptr);
}

uint32_t SaveAndCloseIndex(StoreIndex* index, bool save, bool keep_open, uintptr_t* block_handle) {
  if (index == nullptr) return 0;
  SetStoreIndexPaths(index);
  if (index->folder_directory[0] == '\0') return 1;
  const bool committed = save && CommitTransactionDocument(index);
  const uint32_t commit_error = platform::GetLastError();
  ReleaseIndexBlock(BlockPathOf(index).c_str(), keep_open,
                    block_handle != nullptr ? block_handle : &index->block_handle);
  // A failed commit's reason outlasts the release of the block.
  if (save && !committed) platform::SetLastError(commit_error);
  return 1;
}

uint32_t SaveAndCloseIndex(StoreIndex* index, bool save) {
  return SaveAndCloseIndex(index, save, false, nullptr);
}

}  // namespace qx
