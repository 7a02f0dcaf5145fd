#include "index/index_scan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/block_files.h"
#include "frame/registry_readers.h"
#include "frame/file_helpers.h"
#include "frame/store_names.h"
#include "frame/text_tokens.h"
#include "index/folder_status.h"
#include "index/folder_type_handlers.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_entry.h"
#include "index/index_format.h"
#include "index/index_salvage.h"
#include "index/index_uid_repair.h"
#include "index/message_entry_text.h"
#include "index/store_index.h"
#include "message/message_uid.h"
#include "platform/text_compare.h"
#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/listing.h"
#include "platform/path_resolver.h"
#include "platform/work_ahead.h"
#include "folder/folder_files.h"
#include "folder/folder_size_cache.h"
#include "folder/index_file_availability.h"

namespace qx {

using platform::FindNoCaseIn;
using platform::StartsWithNoCase;

namespace {

constexpr uint32_t kDefaultMaximumIndexRows = 100000;
// Names this long or longer were never indexed: other processes keep file
// names in 64-byte fields.
constexpr size_t kIndexedNameLimit = 64;
constexpr uint32_t kSocketPollInterval = 100;
constexpr size_t kSocketPollBytes = 255;
constexpr const char* kMessagePattern = "*.MAI";
// Fewer new files than this are read on the scan's own thread: starting
// helpers would cost more than it saves.
constexpr size_t kDefaultReadAheadMinimum = 64;
// Headers read and not yet merged, at most: bounds the memory of a large
// folder's scan.
constexpr size_t kReadAheadWindow = 512;
// About what one entry's text takes, to size the index text once.
constexpr size_t kEntryTextEstimate = 512;
// How much entry text is written to the index file at a time while a large
// folder is still being read.
constexpr size_t kDefaultStreamPiece = 1 << 20;

std::atomic<int64_t> maximum_index_rows{-1};
std::atomic<size_t> read_ahead_minimum{kDefaultReadAheadMinimum};
std::atomic<size_t> stream_piece{kDefaultStreamPiece};

struct FolderFile {
  std::string_view name;  // in FolderListing::name_bytes
  uint64_t size = 0;
  uint32_t stamp = 0;  // last-write time as a DOS stamp
};

// The folder's message files in name order, as far as the row limit lets
// the listing read, and every "*.MAI" name present. With `names_only`, the
// sizes and stamps are 0 until the files are read.
struct FolderListing {
  std::vector<char> name_bytes;  // the files' names one after another (its move keeps them in place)
  std::vector<FolderFile> files;
  std::vector<std::string> names;
  bool found_any = false;
  bool names_only = false;
};

// `names_only` when every file will be read anyway (an index built from
// nothing): each file's size and stamp then come from the open file rather
// than from a look-up of each name in the listing.
FolderListing ListMessageFiles(std::string_view folder_directory, uint32_t row_limit, bool names_only) {
  FolderListing listing;
  listing.names_only = names_only;
  std::vector<size_t> name_sizes;
  uint32_t read = 0;
  bool limit_reached = false;
  const platform::ListingDetail detail =
      names_only ? platform::ListingDetail::kNamesAndTypes : platform::ListingDetail::kLookedUp;
  for (platform::Listing found = platform::Listing::Open(FolderFilePath(folder_directory, kMessagePattern),
                                                         platform::ListingScope::kStoreEntries, detail);
       found.valid(); found.Next()) {
    const platform::FindData& entry = found.current();
    listing.found_any = true;
    // Only entries of the index are looked up among the names, and a
    // listing of names only is made for an index without entries.
    if (!names_only) listing.names.push_back(entry.name);
    if (limit_reached) continue;
    // The entry that reaches the limit is not kept, so a limit of R lists
    // R - 1 names.
    if (++read == row_limit) {
      limit_reached = true;
      continue;
    }
    if ((entry.attributes & platform::kAttributeDirectory) != 0) continue;
    const uint32_t stamp = names_only ? 0 : platform::DosStampFromFileTime(entry.last_write_time);
    listing.files.push_back(FolderFile{{}, entry.size, stamp});
    listing.name_bytes.insert(listing.name_bytes.end(), entry.name.begin(), entry.name.end());
    name_sizes.push_back(entry.name.size());
  }
  // The names are placed once name_bytes stops growing.
  size_t offset = 0;
  for (size_t i = 0; i < listing.files.size(); ++i) {
    listing.files[i].name = std::string_view(listing.name_bytes.data() + offset, name_sizes[i]);
    offset += name_sizes[i];
  }
  return listing;
}

bool IsIndexableName(std::string_view name) {
  return !name.empty() && name.front() != '_' && name.front() != '.' &&
         name.size() < kIndexedNameLimit;
}

bool HasHeaderLine(std::string_view header_text, std::string_view prefix) {
  for (size_t start = 0; start < header_text.size();) {
    if (StartsWithNoCase(header_text.substr(start), prefix)) return true;
    const size_t end = header_text.find('\n', start);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return false;
}

// Whether stripping the store's headers could change the file; when not,
// the rewrite (a full copy of the message) is left out.
bool MentionsStoreHeaders(std::string_view header_text) {
  return FindNoCaseIn(header_text, "X-UID: ") != std::string_view::npos ||
         FindNoCaseIn(header_text, "X-QXTempFlags: ") != std::string_view::npos;
}

// What a new file's headers tell about the store's own header lines in it.
struct StoreHeaderMarks {
  bool temporary_flags = false;  // an "X-QXTempFlags: " line
  bool any = false;              // "X-UID: " or "X-QXTempFlags: " anywhere in the headers
};

StoreHeaderMarks MarksOf(const MessageHeaders& headers) {
  return {HasHeaderLine(headers.header_text, "X-QXTempFlags: "), MentionsStoreHeaders(headers.header_text)};
}

// A new file's headers, read ahead of the merge. When the index is written
// as text, its entry's text after the UID is made then, and of the headers
// only what the merge still needs is kept: the texts are freed by the
// thread that made them.
struct ReadAheadHeaders {
  MessageHeaders headers;
  std::string entry_tail;
  StoreHeaderMarks marks;
  bool read = false;
};

void KeepOnlyWhatTheMergeNeeds(MessageHeaders* headers) {
  MessageHeaders kept;
  kept.uid = headers->uid;
  kept.file_size = headers->file_size;
  kept.read = headers->read;  // the status counts these two
  kept.flag_words = std::move(headers->flag_words);
  *headers = std::move(kept);
}

pugi::xml_node NextEntry(pugi::xml_node node) { return node.next_sibling(kEntryElement); }

std::string_view EntryId(pugi::xml_node entry) {
  const char* id = AttributeValue(entry, kIdAttribute);
  return id == nullptr ? std::string_view() : std::string_view(id);
}

void DropRecentFlag(pugi::xml_node entry) {
  pugi::xml_node flags = entry.child(kFlagStatusElement);
  if (!flags) return;
  std::string text = GetElementText(flags);
  if (ReplaceAll(text, "\\RECENT ", "") == 0 && ReplaceAll(text, "\\RECENT", "") == 0) return;
  SetElementText(flags, text);
}

// One run of the merge of a folder's files into its index.
class FolderScan {
 public:
  FolderScan(StoreIndex* index, bool create_new, bool clear_recent, platform::SocketHandle socket,
             uint32_t mode)
      : index_(index),
        directory_(index->folder_directory),
        create_new_(create_new),
        clear_recent_(clear_recent),
        socket_(socket),
        mode_(mode) {}

  uint32_t Run() {
    document_ = CreateIndexDocument(kXmlNotCompatibleMessage);
    if (!document_) return 0;
    uid_validity_ = FolderUidValidity(directory_);
    if (!TakeBlock()) return 0;
    uint32_t result = 0;
    if (StartDocument()) result = MergeAndSave() ? 1 : 0;
    ReleaseBlock();
    return result;
  }

 private:
  bool TakeBlock() {
    if (mode_ == kScanCheckDirty) return true;
    const std::string block = FolderFilePath(directory_, kIndexBlockFileName);
    return TakeIndexBlock(block.c_str(), mode_ == kScanDefault, &block_handle_) == 1;
  }

  void ReleaseBlock() {
    if (mode_ == kScanCheckDirty) return;
    const std::string block = FolderFilePath(directory_, kIndexBlockFileName);
    if (ReleaseIndexBlock(block.c_str(), block_handle_ != 0, &block_handle_) == 0) {
      platform::DiagPrintf("ScanFoldersOrdered::Unable to remove blocking file");
    }
  }

  // A fresh document when asked or when there is no index; both mean the
  // index is rebuilt from scratch, so UIDs are handed out anew. An index
  // that does not load is not thrown away: what it still holds whole is
  // kept with its UIDs and flags, and the rest is rebuilt above its LASTUID.
  bool StartDocument() {
    // A folder never indexed has nothing to load; that is no error to report.
    const bool exists = !create_new_ && IndexFileExists();
    bool loaded = exists && LoadDocumentFile(document_, IndexPath());
    if (exists && !loaded) loaded = StartFromDamagedIndex();
    if (!loaded && !InitializeIndexDocument(document_)) return false;
    renumber_ = !loaded;
    root_ = document_.DocumentElement();
    last_uid_ = DocumentLastUid(document_);
    // An index built from nothing is only ever appended to, in listing
    // order with UIDs from 1: its entries are written as text, not as a DOM.
    as_text_ = renumber_ && root_ && !root_.first_child();
    if (as_text_) StartFolderStatus(text_status_, 0);
    return static_cast<bool>(root_);
  }

  bool StartFromDamagedIndex() {
    SalvagedIndex salvaged;
    if (!SalvageDamagedIndex(directory_, IndexPath(), document_, &salvaged)) return false;
    if (salvaged.entries_kept > 0 || salvaged.last_uid_read) return true;
    document_.dom().reset();  // nothing kept: started from scratch
    return false;
  }

  bool MergeAndSave() {
    if (clear_recent_) {
      for (pugi::xml_node entry = root_.child(kEntryElement); entry; entry = NextEntry(entry)) {
        DropRecentFlag(entry);
      }
    }
    const bool polling = socket_ != kNoSocket;
    if (polling && !platform::SetNonBlocking(socket_, true)) {
      platform::DiagPrintf("ScanFoldersOrdered::Unable to set as non-blocking");
    }
    listing_ = ListMessageFiles(directory_, MaximumIndexRows(), !root_.child(kEntryElement));
    current_ = root_.child(kEntryElement);
    StartReadAhead();
    const bool completed = MergeListing();
    read_ahead_.reset();
    if (listing_.found_any) WriteSizeCache(directory_, static_cast<uint32_t>(total_bytes_ / 1024));
    if (completed) Save();
    if (polling && !platform::SetNonBlocking(socket_, false)) {
      platform::DiagPrintf("ScanFoldersOrdered::Unable to change socket to BLOCKING\r\n");
    }
    return completed;
  }

  // The files no entry names are the ones the merge will read (a file gets
  // its entry where its name falls in the listing's order). When there are
  // many, helper threads read their headers in listing order while the merge
  // builds entries and hands out UIDs on this thread, as a serial scan does.
  void StartReadAhead() {
    std::unordered_set<std::string_view> indexed;
    for (pugi::xml_node entry = current_; entry; entry = NextEntry(entry)) indexed.insert(EntryId(entry));
    for (size_t i = 0; i < listing_.files.size(); ++i) {
      const std::string_view name = listing_.files[i].name;
      if (IsIndexableName(name) && !indexed.contains(name)) new_files_.push_back(i);
    }
    if (new_files_.size() < read_ahead_minimum.load()) return;
    UidBrandingEnabled();  // the setting is read here once, not raced for by the helpers
    OpenFolder();
    read_ahead_ = std::make_unique<platform::WorkAhead<ReadAheadHeaders>>(
        new_files_.size(), platform::WorkAheadHelpers(), kReadAheadWindow,
        [this](size_t k, ReadAheadHeaders* item) {
          const FolderFile& file = listing_.files[new_files_[k]];
          item->read = ReadEntryHeaders(directory_, file.name, static_cast<uint32_t>(file.size),
                                        uid_validity_, ListedOf(file), &item->headers);
          if (!item->read) return;
          item->marks = MarksOf(item->headers);
          if (!as_text_) return;
          AppendMessageEntryTail(&item->entry_tail, item->headers);
          KeepOnlyWhatTheMergeNeeds(&item->headers);
        });
    if (as_text_) entries_text_.reserve(new_files_.size() * kEntryTextEstimate);
  }

  bool MergeListing() {
    uint32_t counted = 0;
    for (size_t i = 0; i < listing_.files.size(); ++i) {
      const FolderFile& file = listing_.files[i];
      if (!IsIndexableName(file.name)) continue;
      ++counted;
      if (socket_ != kNoSocket && counted % kSocketPollInterval == 0 && !CallerStillThere()) {
        return false;
      }
      MergeFile(i);
      total_bytes_ += file.size;  // known by now also where the listing gave names only
    }
    return true;
  }

  // A caller whose client has gone makes the rest of a long scan useless.
  bool CallerStillThere() {
    char buffer[kSocketPollBytes];
    const int64_t got = platform::ReceiveBytes(socket_, buffer, sizeof buffer);
    if (got > 0 || (got < 0 && platform::GetLastError() == platform::kErrorWouldBlock)) return true;
    platform::DiagPrintf("Socket died\n");
    return false;
  }

  void MergeFile(size_t position) {
    const FolderFile& file = listing_.files[position];
    while (current_ && EntryId(current_) != file.name) {
      if (EntryFileExists(EntryId(current_))) {
        AddEntry(position, current_);
        return;
      }
      pugi::xml_node gone = current_;
      current_ = NextEntry(current_);
      root_.remove_child(gone);
    }
    if (!current_) {
      AddEntry(position, pugi::xml_node());
      return;
    }
    if (GetElementNumber(current_.child(kModifiedDateElement)) != file.stamp) {
      RefreshMessageEntry(current_, directory_, file.name, static_cast<uint32_t>(file.size),
                          uid_validity_, Listed(file));
    }
    current_ = NextEntry(current_);
  }

  bool EntryFileExists(std::string_view id) {
    if (id.empty()) return false;
    // Only folders with entries of removed files or out of order need the
    // names looked up, so the set is made at the first question.
    if (present_.empty()) {
      present_.reserve(listing_.names.size());
      for (const std::string& name : listing_.names) present_.insert(platform::UpperCased(name));
    }
    if (present_.contains(platform::UpperCased(id))) return true;
    // An entry that names something outside the folder names no file of it.
    if (!IsStoreName(id)) return false;
    // Every "*.MAI" name in the folder was listed; only other names need a look.
    if (id.find_first_of("\\/") == std::string_view::npos &&
        platform::WildcardMatch(kMessagePattern, id)) {
      return false;
    }
    return platform::GetFileAttributes(FolderFilePath(directory_, id)) != platform::kInvalidAttributes;
  }

  // The folder is opened once, at the first file read, so that each message
  // is opened by its listed name rather than by walking its whole path.
  ListedFile Listed(const FolderFile& file) {
    OpenFolder();
    return ListedOf(file);
  }

  void OpenFolder() {
    if (folder_opened_) return;
    folder_ = platform::Directory::Open(directory_);
    folder_opened_ = true;
  }

  ListedFile ListedOf(const FolderFile& file) const {
    return ListedFile{file.stamp, folder_.valid() ? &folder_ : nullptr, listing_.names_only};
  }

  // The headers of the file at `position` and its UID: read ahead when it
  // is the next new file, else read now. `entry_tail` gets the entry's text
  // after the UID when the read ahead made it.
  bool ReadNewFile(size_t position, MessageEntrySource* source, std::string* entry_tail,
                   StoreHeaderMarks* marks) {
    while (read_ahead_ && next_new_ < new_files_.size() && new_files_[next_new_] < position) ++next_new_;
    if (read_ahead_ && next_new_ < new_files_.size() && new_files_[next_new_] == position) {
      ReadAheadHeaders& item = read_ahead_->Take(next_new_++);
      if (!item.read) return false;
      source->headers = std::move(item.headers);
      *entry_tail = std::move(item.entry_tail);
      *marks = item.marks;
      source->uid = AssignMessageUid(uid_validity_, renumber_, source->headers.uid, &last_uid_);
      return true;
    }
    const FolderFile& file = listing_.files[position];
    if (!ReadMessageEntrySource(directory_, file.name, static_cast<uint32_t>(file.size), uid_validity_,
                                renumber_, &last_uid_, source, Listed(file))) {
      return false;
    }
    *marks = MarksOf(source->headers);
    return true;
  }

  void AddEntry(size_t position, pugi::xml_node before) {
    FolderFile& file = listing_.files[position];
    MessageEntrySource source;
    std::string entry_tail;
    StoreHeaderMarks marks;
    const bool read = ReadNewFile(position, &source, &entry_tail, &marks);
    if (listing_.names_only) file.size = read ? source.headers.file_size : FileSizeOrZero(file.name);
    if (!read) return;  // an unreadable file gets no entry
    if (source.uid.exhausted) {
      platform::DiagPrintf("Folder %s has handed out its last UID (%u): %s is not indexed\n",
                           directory_.c_str(), last_uid_, std::string(file.name).c_str());
      return;
    }
    if (as_text_) {
      AppendEntryText(file.name, source.uid.uid, source.headers, &entry_tail);
    } else {
      BuildMessageEntry(root_, before, file.name, source.uid.uid, source.headers);
    }
    // Once indexed, the entry holds the flags; a rebuilt index hands out
    // UIDs anew, so a stale X-UID line must not survive either.
    const bool strip = renumber_ || (UidBrandingEnabled() && marks.temporary_flags);
    if (strip) {
      // Setting the X-UID line first would be undone by the strip.
      if (marks.any) StripStoreHeaders(directory_, file.name);
    } else if (source.uid.rewrite_file) {
      WriteMessageUid(directory_, file.name, uid_validity_, source.uid.uid);
    }
  }

  void AppendEntryText(std::string_view name, uint32_t uid, const MessageHeaders& headers,
                       std::string* entry_tail) {
    if (entry_tail->empty()) AppendMessageEntryTail(entry_tail, headers);
    AppendMessageEntryText(&entries_text_, name, uid, *entry_tail);
    CountMessageEntryStatus(headers, text_status_);
    ++entries_as_text_;
    if (entries_text_.size() - text_streamed_ >= stream_piece.load()) StreamEntries();
  }

  static std::string RootStart(uint32_t last_uid) {
    return std::string("<") + kRootElement + " " + kLastUidAttribute + "=\"" + std::to_string(last_uid) + "\">";
  }

  // The entries made so far go to the index file while the rest are read,
  // after a root start that supposes every new file gets its entry.
  void StreamEntries() {
    if (!text_file_) {
      text_file_ = std::make_unique<StreamedIndexFile>(IndexPath());
      streamed_start_ = RootStart(static_cast<uint32_t>(new_files_.size()));
      text_file_->Append(streamed_start_);
    }
    text_file_->Append(std::string_view(entries_text_).substr(text_streamed_));
    text_streamed_ = entries_text_.size();
  }

  // The text the DOM would print for the root and the entries appended as
  // text; their UIDs count up from 1, so there is nothing to repair. What
  // was streamed is kept when the root's start comes out as long as
  // supposed (it is then written over), else the file is written anew.
  void SaveText() {
    const std::string root_start = RootStart(last_uid_);
    const std::string root_end = std::string("</") + kRootElement + ">";
    if (text_file_ && root_start.size() == streamed_start_.size()) {
      text_file_->Append(std::string_view(entries_text_).substr(text_streamed_));
      text_file_->Append(root_end);
      if (root_start != streamed_start_) text_file_->WriteAtStart(root_start);
      text_file_->Commit();
    } else {
      text_file_.reset();
      SaveDocumentText({root_start, entries_text_, root_end}, IndexPath());
    }
    text_status_[kStatusLastUid] = last_uid_;
    std::copy(text_status_.begin(), text_status_.end(), index_->folder_status);
    WriteFolderStatusInDirectory(directory_, index_->folder_status);
  }

  void Save() {
    if (entries_as_text_ > 0) {
      SaveText();
      return;
    }
    while (current_) {
      pugi::xml_node stale = current_;
      current_ = NextEntry(current_);
      root_.remove_child(stale);
    }
    SetDocumentLastUid(document_, last_uid_);
    RepairEntryUids(document_, IndexPath());
    SaveDocumentFile(document_, IndexPath());
    CacheFolderStatus(document_, FolderStatusRecord(index_->folder_status), directory_);
  }

  uint64_t FileSizeOrZero(std::string_view name) const {
    const int64_t size = platform::GetFileSize(FolderFilePath(directory_, name));
    return static_cast<uint64_t>(std::max<int64_t>(size, 0));
  }

  std::string IndexPath() const { return FolderFilePath(directory_, kIndexFileName); }
  bool IndexFileExists() const {
    return platform::GetFileAttributes(IndexPath()) != platform::kInvalidAttributes;
  }

  StoreIndex* index_;
  const std::string directory_;
  const bool create_new_;
  const bool clear_recent_;
  const platform::SocketHandle socket_;
  const uint32_t mode_;

  XmlDocument document_;
  pugi::xml_node root_;
  pugi::xml_node current_;
  FolderListing listing_;
  platform::Directory folder_;
  bool folder_opened_ = false;
  std::unordered_set<std::string> present_;  // folded names of listing_.names
  uintptr_t block_handle_ = 0;
  uint32_t uid_validity_ = 0;
  uint32_t last_uid_ = 0;
  bool renumber_ = false;
  bool as_text_ = false;  // entries are appended to entries_text_, not to the DOM
  std::string entries_text_;
  size_t entries_as_text_ = 0;
  std::unique_ptr<StreamedIndexFile> text_file_;  // entries_text_ written so far, after streamed_start_
  std::string streamed_start_;
  size_t text_streamed_ = 0;
  std::array<uint32_t, kFolderStatusFields> text_status_{};
  uint64_t total_bytes_ = 0;
  std::vector<size_t> new_files_;  // positions in listing_.files no entry names
  size_t next_new_ = 0;            // the first of new_files_ not merged yet
  // Last, so that its helpers stop before what they read from goes.
  std::unique_ptr<platform::WorkAhead<ReadAheadHeaders>> read_ahead_;
};

}  // namespace

uint32_t MaximumIndexRows() {
  int64_t rows = maximum_index_rows.load();
  if (rows < 0) {
    rows = RegistryDwordOr(kSettingsRoot, "Maximum Index Rows", kDefaultMaximumIndexRows);
    maximum_index_rows.store(rows);
  }
  return static_cast<uint32_t>(rows);
}

void ForgetMaximumIndexRows() { maximum_index_rows.store(-1); }

void SetScanReadAheadMinimum(size_t files) {
  read_ahead_minimum.store(files == 0 ? kDefaultReadAheadMinimum : files);
}

void SetScanTextStreamPiece(size_t bytes) { stream_piece.store(bytes == 0 ? kDefaultStreamPiece : bytes); }

uint32_t ScanFolderIndex(StoreIndex* index, bool create_new, bool clear_recent,
                         platform::SocketHandle socket, uint32_t mode) {
  if (index == nullptr || index->folder_directory[0] == '\0') return 0;
  return FolderScan(index, create_new, clear_recent, socket, mode).Run();
}

uint32_t RescanFolderIndex(StoreIndex* index, bool create_new, bool clear_recent,
                           platform::SocketHandle socket, uint32_t mode) {
  if (index == nullptr || index->folder_directory[0] == '\0') return 0;
  const std::string directory = index->folder_directory;
  const std::string index_path = FolderFilePath(directory, kIndexFileName);
  if (mode == kScanCheckDirty) {
    const uint32_t existed = CheckIndexFileAvailability(directory.c_str(), kCheckWithoutBlock);
    const uint32_t result = ScanFolderIndex(index, create_new, clear_recent, socket, mode);
    if (existed == 0) TouchFile(index_path.c_str());
    return result;
  }
  // One take of the block covers the look at the index file and the scan:
  // a block file is a new file each time, which file systems make slowly.
  const std::string block = FolderFilePath(directory, kIndexBlockFileName);
  uintptr_t handle = 0;
  if (TakeIndexBlock(block.c_str(), mode == kScanDefault, &handle) != 1) return 0;
  const bool existed = platform::GetFileAttributes(index_path) != platform::kInvalidAttributes;
  const uint32_t result = ScanFolderIndex(index, create_new, clear_recent, socket, kScanCheckDirty);
  if (ReleaseIndexBlock(block.c_str(), handle != 0, &handle) == 0) {
    platform::DiagPrintf("ScanFoldersOrdered::Unable to remove blocking file");
  }
  if (!existed) TouchFile(index_path.c_str());
  return result;
}

uint32_t ScanFolderByType(StoreIndex* index, uint32_t mode) {
  if (index->folder_directory[0] != '\0' && !platform::IsDirectory(index->folder_directory)) {
    platform::CreateDirectory(index->folder_directory);
  }
  index->folder_type = FolderTypeFromName(index->folder);
  StoreIndexLock lock(index);
  switch (index->folder_type) {
    case kFolderTypeMail:
      RescanFolderIndex(index, false, false, kNoSocket, mode);
      break;
    case kFolderTypeContacts:
    case kFolderTypeCalendar:
      if (FolderTypeScan scan = FolderTypeHandlersFor(index->folder_type).scan) scan(index, mode);
      break;
    default:
      break;
  }
  return 1;
}

uint32_t ScanFolders(const char* folder_directory, bool create_new, bool clear_recent) {
  if (folder_directory == nullptr || *folder_directory == '\0') return 0;
  StoreIndex index;
  InitStoreIndex(&index);
  SetFolderDirectory(&index, folder_directory);
  const uint32_t result = RescanFolderIndex(&index, create_new, clear_recent, kNoSocket, kScanDefault);
  ReleaseStoreIndex(&index);
  return result;
}

}  // namespace qx
