#include "index/direct_transactions.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/block_files.h"
#include "frame/text_tokens.h"
#include "index/entry_lookup.h"
#include "index/flag_change_text.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/index_document.h"
#include "index/index_entry.h"
#include "index/index_stamp.h"
#include "index/index_text.h"
#include "index/message_entry_text.h"
#include "index/index_outline.h"
#include "index/index_outline_cache.h"
#include "index/index_text_insert.h"
#include "index/index_transaction.h"
#include "index/item_insert.h"
#include "index/item_remove.h"
#include "index/message_id_lookup.h"
#include "index/store_index.h"
#include "folder/folder_flags.h"
#include "folder/folder_size_cache.h"
#include "frame/store_names.h"
#include "platform/background_close.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/file_version.h"

namespace qx {

namespace {

// List fields are cut at this many bytes (a longer field reads as empty).
constexpr size_t kListFieldSize = 256;

constexpr const char* kGroupMarker = "$QXGROUP";

// The fields of a comma-separated list in one pass (a list of thousands of
// names must not be walked from its start for each one); none for a null or
// empty list.
std::vector<std::string> ListFields(const char* list) {
  std::vector<std::string> fields;
  if (list == nullptr || list[0] == '\0') return fields;
  for (std::string_view rest = list;;) {
    const size_t comma = rest.find(',');
    const std::string_view field = rest.substr(0, comma);
    fields.emplace_back(field.size() < kListFieldSize ? field : std::string_view());
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return fields;
}

// A flag list without separators is the flags of every file, whatever its
// length; otherwise field i belongs to file i, and files beyond the last
// field take the last.
std::string FlagsOfFile(const char* flag_list, const std::vector<std::string>& fields,
                        size_t file) {
  if (std::strchr(flag_list, ',') == nullptr) return flag_list;
  return fields[std::min(file, fields.size() - 1)];
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

// The flag words a new file starts with, as the DOM insert takes them.
std::string StartingFlags(const char* flag_list, const std::vector<std::string>& flags, size_t file) {
  return flag_list == nullptr ? std::string() : FlagsOfFile(flag_list, flags, file);
}

// The outline of the index file `file` has open: the one kept for it when
// there is one, else its bytes read and recognised. Nothing when the text
// is not recognised or the file changed while it was read.
std::shared_ptr<const IndexOutline> OutlineOfIndexFile(const std::string& path, platform::File* file,
                                                       const platform::FileVersion& version) {
  if (std::shared_ptr<const IndexOutline> kept = CachedIndexOutline(path, *file)) return kept;
  std::string bytes;
  if (!platform::ReadWholeOpenFile(file, &bytes) || platform::FileVersionOf(path) != version) {
    return nullptr;
  }
  const std::optional<IndexText> text = RecogniseIndexText(bytes);
  if (!text) return nullptr;
  return std::make_shared<const IndexOutline>(IndexOutline::Of(*text));
}

// The changed text written to `replacement`: the old text's stretches are
// copied from `old_file` in the kernel, the new bytes written.
bool WriteChangedText(const IndexTextInsert& edit, const platform::File& old_file,
                      platform::FileReplacement* replacement) {
  for (const IndexTextPiece& piece : edit.Pieces()) {
    const bool written =
        piece.from_old_text
            ? piece.length == 0 || platform::CopyFileRange(old_file, piece.offset, piece.length, &replacement->file())
            : piece.bytes.empty() || replacement->Write(piece.bytes);
    if (!written) return false;
  }
  return true;
}

// The insertions of DirectInsertItems on the index file's bytes, when they
// are a text the splice recognises: the same checks, UIDs and entries as
// the DOM insert, then one write. False when the text is not recognised
// (nothing is changed then); else the commit ran when anything went in.
bool InsertIntoIndexText(StoreIndex* index, const std::vector<std::string>& files,
                         const char* flag_list, bool* any_inserted, int64_t* inserted_bytes) {
  const std::string path = TransactionIndexPath(index);
  platform::File old_file =
      platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  const std::optional<platform::FileVersion> version = platform::FileVersionOf(old_file);
  if (!version) return false;
  const std::shared_ptr<const IndexOutline> outline = OutlineOfIndexFile(path, &old_file, *version);
  if (!outline) return false;
  IndexTextInsert edit(*outline);
  if (!edit.UidsInOrder()) return false;
  bool inserted = false;
  int64_t bytes_inserted = 0;
  const std::vector<std::string> flags = ListFields(flag_list);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string& name = files[i];
    if (edit.last_uid() == std::numeric_limits<uint32_t>::max()) return false;  // the DOM refuses
    if (!AcceptStoreFileName(name) || name.empty() || edit.Contains(name)) continue;
    MessageHeaders record;
    record.flag_words = StartingFlags(flag_list, flags, i);
    record.uid = edit.last_uid() + 1;
    if (!ReadNewItemFile(index, name, &record)) continue;
    std::string xml;
    AppendMessageEntryText(&xml, name, record.uid, record);
    edit.Insert(name, std::move(xml), FlagStatusForNewEntry(record), std::to_string(record.read),
                record.uid);
    bytes_inserted += record.file_size;
    inserted = true;
  }
  // A file changed meanwhile (by a writer that ignored the block) is the
  // DOM path's to load again and merge with.
  if (platform::FileVersionOf(path) != version) return false;
  *any_inserted = inserted;
  *inserted_bytes = bytes_inserted;
  if (!inserted) return true;
  std::optional<platform::FileVersion> written;
  const bool committed = CommitTransactionWrite(
      index,
      [&] {
        IndexFileWrite result;
        // Another writer's file is not written over: the folder is then
        // marked changed and its next open indexes what this one could not.
        result.other_writer =
            index->index_stamp != FolderIndexStamp(index->folder_directory, index->folder_type) ||
            platform::FileVersionOf(path) != version;
        if (result.other_writer) return result;
        platform::FileReplacement replacement(path, path + ".tmp", platform::FileKind::kIndex);
        const bool whole = replacement.valid() && WriteChangedText(edit, old_file, &replacement);
        if (whole) written = platform::FileVersionOf(replacement.file());
        result.written = whole && replacement.Commit();
        if (!result.written) result.error = platform::GetLastError();
        return result;
      },
      [&](FolderStatusRecord status) { edit.CountStatus(status); });
  if (committed && written) {
    // The old file is only held here now: its blocks are freed by the last
    // close, which need not hold up the delivery.
    platform::CloseInBackground(std::move(old_file));
    KeepIndexOutline(path, *written, edit.ChangedOutline());
  }
  return true;
}

}  // namespace

uint32_t DirectInsertItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list, const char* flag_list) {
  PrivateIndex index;
  if (flag_list != nullptr && FindNoCase(flag_list, kGroupMarker) != nullptr) {
    index.get()->folder_type = kFolderTypeGroups;
  }
  uintptr_t handle = 0;
  const auto mark_changed = [&] {
    if (index.get()->folder_directory[0] != '\0') MarkFolderChanged(index.get()->folder_directory);
  };
  if (!index.CreateDocument() ||
      BeginIndexTransaction(index.get(), postoffice, mailbox, folder, true, &handle) == 0) {
    mark_changed();
    return 0;
  }

  int64_t inserted_bytes = 0;
  bool any_inserted = false;
  const std::vector<std::string> files = ListFields(file_list);
  // A mail folder's index as the store writes it is changed in its bytes;
  // any other text goes through the DOM.
  if (index.get()->folder_type == kFolderTypeMail &&
      InsertIntoIndexText(index.get(), files, flag_list, &any_inserted, &inserted_bytes)) {
    // A commit that failed left its reason; the clean-up does not replace it.
    const platform::LastErrorKept commit_error;
    AbandonIndexTransaction(index.get(), true, &handle);
    AdjustMailboxSize(postoffice, mailbox, ClampToInt32(inserted_bytes), folder);
    return 1;
  }
  if (!LoadTransactionDocument(index.get())) {
    AbandonIndexTransaction(index.get(), true, &handle);
    mark_changed();
    return 0;
  }

  EntryInsertOptions options;
  options.read_file = true;
  options.clear_flags = flag_list == nullptr;
  const std::vector<std::string> flags = ListFields(flag_list);
  EntryLookup lookup(HeldDocument(index.get()));
  for (size_t i = 0; i < files.size(); ++i) {
    MessageHeaders record;
    if (flag_list != nullptr) record.flag_words = FlagsOfFile(flag_list, flags, i);
    if (InsertIndexEntry(index.get(), files[i], options, &record, &lookup) == 1) {
      inserted_bytes += record.file_size;
      any_inserted = true;
    }
    ClearEntryPending(CurrentEntry(index.get()));
  }

  // Saved when any entry went in, not only the last: the size caches are
  // adjusted for every inserted file, and the index must agree with them.
  const uint32_t result = SaveAndCloseIndex(index.get(), any_inserted, true, &handle);
  const platform::LastErrorKept commit_error;
  AdjustMailboxSize(postoffice, mailbox, ClampToInt32(inserted_bytes), folder);
  return result;
}

uint32_t DirectUpdateItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list, const char* flag_changes) {
  if (file_list == nullptr || flag_changes == nullptr) return 0;
  PrivateIndex index;
  if (!OpenTransaction(&index, postoffice, mailbox, folder, false, nullptr)) return 0;

  bool changed = false;
  const EntryLookup lookup(HeldDocument(index.get()));
  for (const std::string& file_name : ListFields(file_list)) {
    const pugi::xml_node entry = lookup.Find(file_name);
    if (!entry) continue;
    std::string flags = GetChildText(entry, kFlagStatusElement);
    if (!ApplyFlagChangeText(&flags, flag_changes)) continue;
    SetEntryFlagWords(entry, flags);
    changed = true;
  }

  SaveAndCloseIndex(index.get(), changed, false, nullptr);
  return 1;
}

uint32_t DirectRemoveItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list) {
  PrivateIndex index;
  if (!OpenTransaction(&index, postoffice, mailbox, folder, false, nullptr)) return 0;

  int64_t removed_bytes = 0;
  EntryLookup lookup(HeldDocument(index.get()));
  for (const std::string& file_name : ListFields(file_list)) {
    uint32_t size = 0;
    if (RemoveIndexEntry(index.get(), file_name, &size, &lookup) == 1) removed_bytes += size;
  }

  const uint32_t result = SaveAndCloseIndex(index.get(), true, false, nullptr);
  AdjustMailboxSize(postoffice, mailbox, ClampToInt32(-removed_bytes), folder);
  return result;
}

}  // namespace qx
