#include "index/index_open.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "common/block_files.h"
#include "frame/settings.h"
#include "frame/store_paths.h"
#include "index/folder_type_handlers.h"
#include "index/index_document.h"
#include "index/index_load.h"
#include "index/index_scan.h"
#include "index/index_sort.h"
#include "index/index_status_cache.h"
#include "index/index_stamp.h"
#include "index/store_index.h"
#include "index/task_document.h"
#include "platform/text_compare.h"
#include "platform/derived_cache.h"
#include "platform/diagnostics.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "folder/folder_files.h"
#include "folder/folder_flags.h"
#include "folder/notify_clients.h"

namespace qx {

using platform::EqualsNoCase;
using platform::FindNoCaseIn;

namespace {

// The notification mode in which every open tells the mailbox's clients.
constexpr uint32_t kNotifyOnOpen = 4;

void TraceFolder(std::string_view text, const StoreIndex* index) {
  std::string line(text);
  line += index->folder_directory;
  line += '\n';
  platform::Trace(line);
}

// The folder directory cut after the component that follows "MAILROOT\";
// empty when it holds no "MAILROOT\".
std::string MailboxDirectoryOf(std::string_view folder_directory) {
  constexpr std::string_view kMailRoot = "MAILROOT\\";
  const size_t at = FindNoCaseIn(folder_directory, kMailRoot);
  if (at == std::string_view::npos) return {};
  const size_t end = folder_directory.find('\\', at + kMailRoot.size());
  return std::string(folder_directory.substr(0, end));
}

// The new-mail test only ever matched a folder directory that is literally
// "Inbox" (with or without one leading backslash): built directories never
// are, and callers rely on opens not consulting the delivery flags.
bool IsLiteralInbox(std::string_view folder_directory) {
  if (!folder_directory.empty() && folder_directory.front() == '\\') folder_directory.remove_prefix(1);
  return EqualsNoCase(folder_directory, "Inbox");
}

bool HasNewMailMarkers(const StoreIndex* index) {
  const std::string mailbox = MailboxDirectory(index->postoffice, index->mailbox);
  if (mailbox.empty()) return false;
  platform::FindData found;
  return platform::FindFirst(DeliveryFlagPattern(mailbox.c_str()), &found);
}

// Steps of modes 1 and 4 before the stamp test; true when the folder was
// rescanned, so its index must be loaded.
bool CheckDirtyAndScan(StoreIndex* index, uint32_t mode) {
  const uint32_t notification_mode = Settings().store_event_notification_mode;
  bool new_mail = false;
  if (mode == kOpenCheckDirty && notification_mode == kNotifyOnOpen) {
    const std::string mailbox = MailboxDirectoryOf(index->folder_directory);
    if (!mailbox.empty()) NotifyClients(mailbox, index->folder, "COMMIT");
  }
  if (notification_mode != kNotifyOnOpen && index->folder_type == kFolderTypeMail &&
      IsLiteralInbox(index->folder_directory)) {
    new_mail = HasNewMailMarkers(index);
  }

  const std::string block = FolderFilePath(index->folder_directory, IndexBlockNameFor(index->folder_type));
  if (TakeIndexBlock(block.c_str(), true, &index->block_handle) != 1) return false;
  const bool dirty =
      CheckFolderFlags(index->folder_directory, false, FolderFlag::kChanged, true) == 1 || new_mail;
  if (dirty) {
    TraceFolder("StoreIndex_Open::Performing StoreIndex_Scan(QX_STOREINDEX_CHECKDIRTY) on folder ", index);
    ScanFolderByType(index, kScanCheckDirty);
  }
  if (ReleaseIndexBlock(block.c_str(), index->block_handle != 0, &index->block_handle) == 0) {
    platform::DiagPrintf("ScanFoldersOrdered::Unable to remove blocking file");
  }
  return dirty;
}

uint32_t CurrentStamp(const StoreIndex* index) {
  return StoredIndexStamp(FolderIndexStamp(index->folder_directory, index->folder_type));
}

uint32_t CountChildren(pugi::xml_node root) {
  uint32_t count = 0;
  for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) ++count;
  return count;
}

// Steps 6 to 9: the load under the StoreIndex mutex.
uint32_t LoadHeldIndex(StoreIndex* index, std::optional<uint32_t> stamp, bool sort) {
  StoreIndexLock lock(index);
  ReleaseIndexDocument(index);
  if (index->folder_directory[0] == '\0') {
    platform::Trace("StoreIndex_Open:: (Error) Attempted to open a blank folder name\n");
    return kOpenFailed;
  }
  index->modified = 0;
  index->index_file_size = 0;
  if (!stamp) stamp = CurrentStamp(index);

  XmlDocument document = LoadIndexDocument(index, index->folder_directory);
  if (!document) {
    TraceFolder("StoreIndex_Open::Error opening store index in: ", index);
    return kOpenFailed;
  }
  const pugi::xml_node root = document.DocumentElement();
  if (!root) {
    char line[1200];
    std::snprintf(line, sizeof line, "Error: Problem accessing index in %s. Check file permissions.\n",
                  index->folder_directory);
    platform::Trace(line);
    return kOpenFailed;
  }
  const int64_t file_size =
      platform::GetFileSize(FolderFilePath(index->folder_directory, IndexFileNameFor(index->folder_type)));
  index->index_file_size = file_size < 0 ? 0 : static_cast<uint32_t>(file_size);
  index->entry_count = CountChildren(root);
  index->index_stamp = *stamp;
  index->last_uid = DocumentLastUid(document);
  if (sort && SortStoreIndex(index) == 0) return kOpenFailed;
  TraceFolder("StoreIndex_Open::Loaded index for folder ", index);
  return kOpenLoaded;
}

}  // namespace

uint32_t OpenStoreIndex(StoreIndex* index, uint32_t mode) {
  if (index == nullptr) {
    platform::Trace("StoreIndex_Open::WARNING!: StoreIndex is NULL when passed to StoreIndex_Open");
    return kOpenFailed;
  }
  bool sort = true;
  if (mode == kOpenCheckDirtyUnsorted) {
    mode = kOpenCheckDirty;
    sort = false;
  }
  // Nothing on disk is looked at for a blank directory: the load refuses it.
  const bool has_directory = index->folder_directory[0] != '\0';
  if (mode == kOpenReindex) {
    StoreIndexLock lock(index);
    TraceFolder("StoreIndex_Open::Performing StoreIndex_Scan(QX_STOREINDEX_REINDEX) on folder ", index);
    if (has_directory) ScanFolderByType(index, kScanDefault);
    return LoadHeldIndex(index, std::nullopt, sort);
  }
  if (mode == kOpenLoad || !has_directory) return LoadHeldIndex(index, std::nullopt, sort);
  if ((mode == kOpenCheckDirty || mode == kOpenCheckDirtyQuietly) && CheckDirtyAndScan(index, mode)) {
    return LoadHeldIndex(index, std::nullopt, sort);
  }
  const uint32_t stamp = CurrentStamp(index);
  if (stamp == index->index_stamp && index->folder_index != 0) {
    TraceFolder("StoreIndex_Open::Using cached index for folder ", index);
    return kOpenReused;
  }
  return LoadHeldIndex(index, stamp, sort);
}

uint32_t OpenIndexForStatus(StoreIndex* index, FolderStatusRecord status) {
  if (index == nullptr || index->folder_directory[0] == '\0') return OpenStoreIndex(index, kOpenCheckDirty);
  const bool rescanned = CheckDirtyAndScan(index, kOpenCheckDirty);
  const std::string path = FolderFilePath(index->folder_directory, IndexFileNameFor(index->folder_type));
  if (!rescanned) {
    if (const std::optional<IndexStatusRecord> cached = CachedIndexStatus(path)) {
      std::copy(std::begin(cached->status), std::end(cached->status), status.begin());
      index->index_file_size = static_cast<uint32_t>(cached->file_size);
      return kOpenCounted;
    }
  }
  const std::optional<platform::FileVersion> identity = platform::IdentifyFile(path, nullptr);
  const uint32_t result = LoadHeldIndex(index, std::nullopt, true);
  if (result == kOpenFailed) return result;
  IndexStatusRecord record;
  ComputeFolderStatus(HeldDocument(index), FolderStatusRecord(record.status));
  std::copy(std::begin(record.status), std::end(record.status), status.begin());
  if (identity) KeepIndexStatus(path, *identity, record);
  return result;
}

uint32_t GetStoreIndex(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to StoreIndex_Get\n");
    return 0;
  }
  switch (index->folder_type) {
    case kFolderTypeContacts:
    case kFolderTypeCalendar:
      if (FolderTypeDocument document = FolderTypeHandlersFor(index->folder_type).document) {
        document(index);
        break;
      }
      OpenStoreIndex(index, kOpenLoad);
      break;
    case kFolderTypeTasks:
      LoadTaskDocument(index);
      break;
    default:
      OpenStoreIndex(index, kOpenLoad);
      break;
  }
  return 1;
}

uint32_t ScanStoreIndex(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to StoreIndex_Scan\n");
    return 0;
  }
  return ScanFolderByType(index, kScanDefault);
}

}  // namespace qx
