#include "index/direct_transactions.h"

#include <cstring>
#include <limits>
#include <string>

#include "common/block_files.h"
#include "frame/text_tokens.h"
#include "index/flag_change_text.h"
#include "index/index_document.h"
#include "index/index_entry.h"
#include "index/index_transaction.h"
#include "index/item_insert.h"
#include "index/item_remove.h"
#include "index/message_id_lookup.h"
#include "index/store_index.h"
#include "folder/folder_flags.h"
#include "folder/folder_size_cache.h"

namespace qx {

namespace {

// List fields are cut at this many bytes (a longer field reads as empty).
constexpr size_t kListFieldSize = 256;

constexpr const char* kGroupMarker = "$QXGROUP";

uint32_t ListFieldCount(const char* list) {
  if (list == nullptr || list[0] == '\0') return 0;
  uint32_t count = 1;
  for (const char* c = list; *c != '\0'; ++c) count += *c == ',' ? 1 : 0;
  return count;
}

// Field `n` (from 1); past the last field, the last one.
std::string ListField(const char* list, uint32_t n) {
  char field[kListFieldSize];
  GetToken(list, ",", static_cast<int>(n), field, sizeof field);
  return field;
}

// A flag list without separators is the flags of every file; otherwise
// field i belongs to file i.
std::string FlagsOfFile(const char* flag_list, uint32_t file) {
  if (std::strchr(flag_list, ',') == nullptr) return flag_list;
  return ListField(flag_list, file);
}

int32_t ClampToInt32(int64_t bytes) {
  if (bytes > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (bytes < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(bytes);
}

// A private index object for one transaction; its document is dropped when
// the transaction ends, whatever path it takes.
class PrivateIndex {
 public:
  PrivateIndex() { InitStoreIndex(&index_); }
  ~PrivateIndex() { ReleaseStoreIndex(&index_); }
  PrivateIndex(const PrivateIndex&) = delete;
  PrivateIndex& operator=(const PrivateIndex&) = delete;

  StoreIndex* get() { return &index_; }

  // Gives the object an empty document for the open to load into.
  bool CreateDocument() {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    if (!document) return false;
    HoldDocument(&index_, document);
    return true;
  }

 private:
  StoreIndex index_;
};

// The index object, with a document, opened for a transaction.
bool OpenTransaction(PrivateIndex* index, const char* postoffice, const char* mailbox,
                     const char* folder, bool keep_open, uintptr_t* handle) {
  if (!index->CreateDocument()) return false;
  return OpenIndexForTransaction(index->get(), postoffice, mailbox, folder, keep_open, handle) == 1;
}

}  // namespace

uint32_t DirectInsertItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list, const char* flag_list) {
  PrivateIndex index;
  if (flag_list != nullptr && FindNoCase(flag_list, kGroupMarker) != nullptr) {
    index.get()->folder_type = kFolderTypeGroups;
  }
  uintptr_t handle = 0;
  if (!OpenTransaction(&index, postoffice, mailbox, folder, true, &handle)) {
    if (index.get()->folder_directory[0] != '\0') MarkFolderChanged(index.get()->folder_directory);
    return 0;
  }

  EntryInsertOptions options;
  options.read_file = true;
  options.clear_flags = flag_list == nullptr;
  int64_t inserted_bytes = 0;
  bool any_inserted = false;
  const uint32_t files = ListFieldCount(file_list);
  for (uint32_t i = 1; i <= files; ++i) {
    MessageHeaders record;
    if (flag_list != nullptr) record.flag_words = FlagsOfFile(flag_list, i);
    if (InsertIndexEntry(index.get(), ListField(file_list, i), options, &record) == 1) {
      inserted_bytes += record.file_size;
      any_inserted = true;
    }
    ClearEntryPending(CurrentEntry(index.get()));
  }

  // Saved when any entry went in, not only the last: the size caches are
  // adjusted for every inserted file, and the index must agree with them.
  const uint32_t result = SaveAndCloseIndex(index.get(), any_inserted, true, &handle);
  AdjustMailboxSize(postoffice, mailbox, ClampToInt32(inserted_bytes), folder);
  return result;
}

uint32_t DirectUpdateItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list, const char* flag_changes) {
  if (file_list == nullptr || flag_changes == nullptr) return 0;
  PrivateIndex index;
  if (!OpenTransaction(&index, postoffice, mailbox, folder, false, nullptr)) return 0;

  bool changed = false;
  const uint32_t files = ListFieldCount(file_list);
  for (uint32_t i = 1; i <= files; ++i) {
    const std::string file_name = ListField(file_list, i);
    MessageHeaders record;
    if (GetStoreItemByMessageId(index.get(), file_name, 0, &record) != 1) continue;
    std::string flags = record.flag_words;
    if (!ApplyFlagChangeText(&flags, flag_changes)) continue;
    record.flag_words = flags;
    if (SetStoreItemByMessageId(index.get(), file_name, kSelectFlags, record) == 1) changed = true;
  }

  SaveAndCloseIndex(index.get(), changed, false, nullptr);
  return 1;
}

uint32_t DirectRemoveItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list) {
  PrivateIndex index;
  if (!OpenTransaction(&index, postoffice, mailbox, folder, false, nullptr)) return 0;

  int64_t removed_bytes = 0;
  const uint32_t files = ListFieldCount(file_list);
  for (uint32_t i = 1; i <= files; ++i) {
    uint32_t size = 0;
    if (RemoveIndexEntry(index.get(), ListField(file_list, i), &size) == 1) removed_bytes += size;
  }

  const uint32_t result = SaveAndCloseIndex(index.get(), true, false, nullptr);
  AdjustMailboxSize(postoffice, mailbox, ClampToInt32(-removed_bytes), folder);
  return result;
}

}  // namespace qx
