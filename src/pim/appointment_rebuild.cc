#include "pim/appointment_rebuild.h"

#include <atomic>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "folder/folder_files.h"
#include "folder/folder_flags.h"
#include "frame/file_helpers.h"
#include "frame/registry_readers.h"
#include "index/folder_status.h"
#include "index/index_document.h"
#include "index/index_save.h"
#include "index/index_scan.h"
#include "index/index_stamp.h"
#include "index/store_index.h"
#include "pim/appointment_index.h"
#include "pim/appointment_records.h"
#include "pim/calendar_bucket.h"
#include "pim/provider_operations.h"
#include "platform/background_close.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/local_time.h"
#include "platform/work_ahead.h"

namespace qx {

namespace {

constexpr size_t kBucketKeyLimit = 63;
// Below this many appointments a rebuild reads their messages on its own
// thread: starting helpers would cost more than they save.
constexpr size_t kDefaultReadAheadMinimum = 64;
// How many messages helpers read ahead of the elements built.
constexpr size_t kReadAheadWindow = 256;

std::atomic<size_t> read_ahead_minimum{kDefaultReadAheadMinimum};

std::atomic<int64_t> reindex_mode{-1};

// The folder's provider files, as its listing gives them.
std::vector<platform::FindData> ProviderFiles(const StoreIndex* index) {
  std::vector<platform::FindData> files;
  for (platform::Listing listing = platform::Listing::Open(FolderFilePath(index->folder_directory, "Y*.CAL"));
       listing.valid(); listing.Next()) {
    const platform::FindData& found = listing.current();
    if ((found.attributes & platform::kAttributeDirectory) != 0) continue;
    if (found.name.empty() || found.name.front() == '_' || found.name.front() == '.') continue;
    files.push_back(found);
  }
  return files;
}

// Deletes the provider files a rebuild has indexed, by the names the
// listing gave, in the folder opened once. A read-only file stays, as
// DeleteFile leaves it. Each file is open across its delete and closed in
// the background, where the freeing of its blocks may wait for the disk
// (platform/background_close.h): the rebuild's caller waits for its index.
void DeleteProviderFiles(const StoreIndex* index, const std::vector<platform::FindData>& files) {
  platform::Directory folder = platform::Directory::Open(index->folder_directory);
  for (const platform::FindData& file : files) {
    if (!folder.valid()) {
      platform::DeleteFile(FolderFilePath(index->folder_directory, file.name));
    } else if ((file.attributes & platform::kAttributeReadOnly) == 0) {
      platform::File held = folder.OpenUnlockedForReading(file.name);
      if (folder.DeleteUnlocked(file.name)) platform::CloseInBackground(std::move(held));
    }
  }
}

// The Calendar folder whose messages are indexed, kept open while a
// rebuild opens them one after the other.
struct MessageFolder {
  std::string path;
  platform::Directory directory;
};

MessageFolder OpenMessageFolder(std::string_view postoffice, std::string_view mailbox) {
  MessageFolder folder{CalendarDirectory(postoffice, mailbox), {}};
  folder.directory = platform::Directory::Open(folder.path);
  return folder;
}

// The entries of a bucket that `keep` accepts, appended to `entries`.
template <class Keep>
void CollectBucket(const MessageFolder& folder, const CalendarBucket& bucket, Keep keep,
                   std::vector<ProviderEntry>* entries) {
  auto lines = folder.directory.valid() ? ReadProviderLines(bucket, folder.directory)
                                        : ReadProviderLines(bucket);
  if (!lines) return;
  for (ProviderLine& line : *lines) {
    if (keep(line.entry)) entries->push_back(std::move(line.entry));
  }
}

// Appends an element for each of `entries`, in their order. When there are
// many, helper threads open and read the messages ahead while this thread
// builds the elements, as a folder scan reads its messages' headers.
void IndexEntries(const XmlDocument& document, const MessageFolder& folder, const CalendarBucket& names,
                  const std::vector<ProviderEntry>& entries) {
  const pugi::xml_node root = document.DocumentElement();
  if (!folder.directory.valid()) {
    for (const ProviderEntry& entry : entries) {
      Appointment_IndexMessage(document, root, MakeAppointmentRecord(names.postoffice, names.mailbox, entry));
    }
    return;
  }
  const size_t helpers = entries.size() >= read_ahead_minimum.load() ? platform::WorkAheadHelpers() : 0;
  platform::WorkAhead<AppointmentMessage> messages(
      entries.size(), helpers, kReadAheadWindow, [&](size_t i, AppointmentMessage* message) {
        *message = ReadAppointmentMessage(entries[i], folder.directory, folder.path);
      });
  for (size_t i = 0; i < entries.size(); ++i) {
    AppointmentMessage& message = messages.Take(i);
    AppendAppointmentElement(root, entries[i], message);
    message = {};  // its text is not needed again
  }
}

XmlDocument NewEmptyDocument() {
  XmlDocument document = CreateIndexDocument("CoInitialize not called");
  if (document && !InitializeIndexDocument(document)) return {};
  return document;
}

// Puts `document` in the object as loaded from the folder now. Without an
// index file the stamp is 0, as the first save of the document finds it.
void HoldLoadedDocument(StoreIndex* index, const XmlDocument& document) {
  HoldDocument(index, document);
  index->modified = 0;
  index->entry_count = 0;
  for (pugi::xml_node child = document.DocumentElement().first_child(); child; child = child.next_sibling()) {
    ++index->entry_count;
  }
  index->last_uid = DocumentLastUid(document);
  index->index_stamp = FolderIndexStamp(index->folder_directory, index->folder_type);
}

bool IndexFileLoads(const StoreIndex* index, const XmlDocument& document) {
  return LoadDocumentFile(document, FolderFilePath(index->folder_directory, kIndexFileName));
}

uint32_t RebuildFromAllBuckets(StoreIndex* index, uint32_t mode) {
  const std::vector<platform::FindData> files = ProviderFiles(index);
  if (files.empty()) {
    if (platform::GetFileSize(FolderFilePath(index->folder_directory, kIndexFileName)) >= 0) return 1;
    XmlDocument document = NewEmptyDocument();
    if (!document) return 0;
    StoreIndexLock lock(index);
    HoldLoadedDocument(index, document);
    return 1;
  }
  XmlDocument document = NewEmptyDocument();
  if (!document) return 0;
  const MessageFolder folder = OpenMessageFolder(index->postoffice, index->mailbox);
  const CalendarBucket names{index->postoffice, index->mailbox, {}};
  std::vector<ProviderEntry> entries;
  for (const platform::FindData& file : files) {
    const CalendarBucket bucket{index->postoffice, index->mailbox,
                                file.name.substr(0, std::min(file.name.find('.'), kBucketKeyLimit))};
    CollectBucket(folder, bucket, [](const ProviderEntry&) { return true; }, &entries);
  }
  IndexEntries(document, folder, names, entries);
  // The provider files go only once the index that replaces them is saved,
  // and only those indexed: one filed meanwhile stays for the next rebuild.
  if (!CommitCalendarIndex(index, document, mode)) return 1;
  DeleteProviderFiles(index, files);
  return 1;
}

uint32_t RebuildFromRange(StoreIndex* index, const APPOINTMENTRECORD& range, uint32_t mode) {
  XmlDocument document = NewEmptyDocument();
  if (!document) return 0;
  std::tm local{};
  if (platform::LocalTimeOf(static_cast<std::time_t>(range.start), &local)) {
    const CalendarBucket names = BucketOfRecord(range);
    const DayBuckets day = BucketsOfDay(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                        static_cast<unsigned>(local.tm_mday));
    const auto within = [&](const ProviderEntry& entry) {
      return entry.start >= range.start && entry.end <= range.end;
    };
    const MessageFolder folder = OpenMessageFolder(names.postoffice, names.mailbox);
    std::vector<ProviderEntry> entries;
    for (const std::string& key : {day.all, day.year, day.month, day.day}) {
      CollectBucket(folder, {names.postoffice, names.mailbox, key}, within, &entries);
    }
    IndexEntries(document, folder, names, entries);
  }
  CommitCalendarIndex(index, document, mode);
  return 1;
}

}  // namespace

bool CommitCalendarIndex(StoreIndex* index, const XmlDocument& document, uint32_t mode) {
  StoreIndexLock lock(index);
  HoldLoadedDocument(index, document);
  index->modified = 1;
  const uint32_t block = mode == kScanCheckDirty ? kBlockHeldByCaller : kSaveTakesBlock;
  if (SaveHeldIndex(index, kSavePlain, block) != 1) return false;
  CacheFolderStatus(document, FolderStatusRecord(index->folder_status), index->folder_directory);
  return true;
}

uint32_t CalendarReIndexMode() {
  int64_t mode = reindex_mode.load();
  if (mode < 0) {
    mode = RegistryDwordOr(kSettingsRoot, "Calendar ReIndex Mode", 0);
    reindex_mode.store(mode);
  }
  return static_cast<uint32_t>(mode);
}

void ForgetCalendarReIndexMode() { reindex_mode.store(-1); }

void SetRebuildReadAheadMinimum(size_t appointments) {
  read_ahead_minimum.store(appointments == 0 ? kDefaultReadAheadMinimum : appointments);
}

uint32_t Appointment_RebuildIndex(StoreIndex* index, const APPOINTMENTRECORD* range,
                                  uint32_t /*reserved*/, uint32_t mode) {
  if (index == nullptr) return 0;
  SetStoreIndexPaths(index);
  return range == nullptr ? RebuildFromAllBuckets(index, mode) : RebuildFromRange(index, *range, mode);
}

XmlDocument Appointment_OpenIndex(StoreIndex* index, bool reuse) {
  if (index == nullptr) return {};
  StoreIndexLock lock(index);
  if (reuse) {
    if (XmlDocument held = HeldDocument(index)) return held;
  }
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document) return {};
  SetStoreIndexPaths(index);
  const bool changed =
      CheckFolderFlags(index->folder_directory, false, FolderFlag::kChanged, true) == 1;
  bool loaded = false;
  if (changed && (CalendarReIndexMode() != 0 || !(loaded = IndexFileLoads(index, document)))) {
    Appointment_RebuildIndex(index, nullptr, 0, kScanDefault);
    TouchFile(FolderFilePath(index->folder_directory, kIndexFileName).c_str());
    if (XmlDocument rebuilt = HeldDocument(index)) return rebuilt;
  }
  if (!loaded && !IndexFileLoads(index, document)) return {};
  HoldLoadedDocument(index, document);
  return document;
}

uint32_t ScanCalendarFolder(StoreIndex* index, uint32_t mode) {
  if (index == nullptr) return 0;
  StoreIndexLock lock(index);
  SetStoreIndexPaths(index);
  if (CalendarReIndexMode() == 0 && IndexFileLoads(index, XmlDocument::New())) return 1;
  const uint32_t rebuilt = Appointment_RebuildIndex(index, nullptr, 0, mode);
  const XmlDocument held = HeldDocument(index);
  if (held && platform::GetFileSize(FolderFilePath(index->folder_directory, kIndexFileName)) < 0) {
    CommitCalendarIndex(index, held, mode);
  }
  return rebuilt;
}

uint32_t OpenCalendarDocument(StoreIndex* index) {
  return Appointment_OpenIndex(index, true) ? 1 : 0;
}

}  // namespace qx
