#include "index/index_save.h"

#include <array>
#include <atomic>
#include <string>

#include "common/block_files.h"
#include "folder/folder_files.h"
#include "folder/folder_flags.h"
#include "index/index_commit.h"
#include "index/index_document.h"
#include "index/index_entry.h"
#include "index/index_file_write.h"
#include "index/index_sort.h"
#include "index/index_stamp.h"
#include "index/store_index.h"
#include "platform/diagnostics.h"
#include "platform/file.h"

namespace qx {

namespace {

// Writers by folder type; the types are small numbers (0 to 5, and 54).
constexpr size_t kWriterSlots = 64;
std::array<std::atomic<PendingItemWriter>, kWriterSlots> pending_item_writers{};

void TraceForFolder(const char* text, const char* folder_directory) {
  platform::Trace(std::string(text) + folder_directory + "\n");
}

// Writes the document (merged with another writer's file when one was
// there); the block is held by now. 0 when another writer was there.
uint32_t WriteIndexFile(StoreIndex* index) {
  const IndexFileWrite write = WriteObjectIndexFile(index);
  if (write.other_writer) {
    TraceForFolder("StoreIndex_Save::Warning: Store Index was modified while being transacted for folder: ",
                   index->folder_directory);
    // The object holds what the file holds now, whatever the result says.
    if (write.written) index->index_stamp = FolderIndexStamp(index->folder_directory, index->folder_type);
    return 0;
  }
  return write.written ? 1 : 0;
}

// Takes the folder's block file, writes, and releases the block again.
uint32_t WriteUnderBlock(StoreIndex* index, uint32_t block_mode) {
  const std::string directory = index->folder_directory;
  platform::CreateDirectory(directory);
  if (block_mode == kBlockHeldByCaller) return WriteIndexFile(index);
  const std::string block_path = FolderFilePath(directory, IndexBlockNameFor(index->folder_type));
  uintptr_t block = 0;
  if (TakeIndexBlock(block_path.c_str(), true, &block) == 0) {
    TraceForFolder("StoreIndex_Save::Error - Unable to lock index for folder ", index->folder_directory);
    return 0;
  }
  const uint32_t result = WriteIndexFile(index);
  ReleaseIndexBlock(block_path.c_str(), true, &block);
  return result;
}

}  // namespace

uint32_t SaveHeldIndex(StoreIndex* index, uint32_t mode, uint32_t block_mode) {
  if (index == nullptr) return 0;
  StoreIndexLock lock(index);
  const XmlDocument document = HeldDocument(index);
  if (!document) return 0;
  const bool has_directory = index->folder_directory[0] != '\0';
  const uint32_t result = has_directory ? WriteUnderBlock(index, block_mode) : 1;
  if (result == 1) {
    index->index_stamp = FolderIndexStamp(index->folder_directory, index->folder_type);
    index->modified = 0;
  } else {
    TraceForFolder("StoreIndex_Save::Error - Unable to save index for folder ", index->folder_directory);
    MarkFolderChanged(index->folder_directory);
  }
  if (mode == kSaveSorted) SortStoreIndex(index);
  return result;
}

uint32_t StoreIndexSave(StoreIndex* index, uint32_t mode) {
  return SaveHeldIndex(index, mode, kSaveTakesBlock);
}

void SetPendingItemWriter(uint32_t folder_type, PendingItemWriter writer) {
  if (folder_type < kWriterSlots) pending_item_writers[folder_type].store(writer);
}

PendingItemWriter PendingItemWriterFor(uint32_t folder_type) {
  return folder_type < kWriterSlots ? pending_item_writers[folder_type].load() : nullptr;
}

uint32_t SavePendingItems(StoreIndex* index) {
  if (index == nullptr) return 0;
  StoreIndexLock lock(index);
  const XmlDocument document = HeldDocument(index);
  const pugi::xml_node root = document.DocumentElement();
  if (!root || index->modified != 1) return 1;
  const PendingItemWriter writer = PendingItemWriterFor(index->folder_type);
  for (pugi::xml_node entry = root.first_child(), next; entry; entry = next) {
    next = entry.next_sibling();
    if (!IsEntryPending(entry)) continue;
    ClearEntryPending(entry);
    if (writer != nullptr) writer(index, entry);
  }
  CommitStoreIndex(index);
  index->modified = 0;
  return 1;
}

}  // namespace qx
