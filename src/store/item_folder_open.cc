#include "store/item_folder_open.h"

#include <cstring>
#include <optional>
#include <string>

#include "common/mutex.h"
#include "frame/settings.h"
#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "frame/store_roots.h"
#include "frame/bounded_text.h"
#include "index/index_document.h"
#include "index/index_open.h"
#include "index/index_registry.h"
#include "index/index_elements.h"
#include "index/store_index.h"
#include "message/item_file_name.h"
#include "platform/diagnostics.h"
#include "platform/text_compare.h"
#include "store/item_content.h"
#include "store/item_state.h"

namespace qx {

using platform::FindNoCaseIn;

namespace {

constexpr size_t kNameSize = sizeof(STOREINDEXTYPE::postoffice);

struct FolderNames {
  std::string_view postoffice;
  std::string_view mailbox;
  std::string_view folder;

  bool Fit() const {
    for (std::string_view name : {postoffice, mailbox, folder}) {
      if (name.size() >= kNameSize || name.find('\0') != std::string_view::npos) return false;
    }
    return true;
  }
};

void CopyName(char* field, std::string_view name) {
  std::memcpy(field, name.data(), name.size());
  field[name.size()] = '\0';
}

void SetRecordNames(STOREINDEXTYPE& record, const FolderNames& names, uint32_t folder_type) {
  CopyName(record.postoffice, names.postoffice);
  CopyName(record.mailbox, names.mailbox);
  CopyName(record.folder, names.folder);
  record.folder_type = static_cast<int32_t>(folder_type);
}

// Gives up the record's index object (Release). With clear, or when the
// object was destroyed, the names go too.
void ReleaseRecord(STOREINDEXTYPE& record, uint32_t clear) {
  ClearItemHandles(record);
  TLSStoreIndex_Close(&record, clear);
}

// The record's key for `names`, computed without disturbing the key it
// holds: empty when it does not fit.
std::string KeyFor(STOREINDEXTYPE& record, const std::string_view* item_id) {
  const std::string held = record.index_key;
  const bool fits = item_id != nullptr ? SetItemIndexKey(&record, std::string(*item_id).c_str())
                                       : SetFolderIndexKey(&record);
  std::string key = fits ? record.index_key : "";
  CopyBounded(record.index_key, held.c_str(), sizeof record.index_key);
  return key;
}

enum class Attach { kFailed, kNew, kExisting };

// Stores the key and attaches the record to the registry's object for it.
Attach AttachRecord(STOREINDEXTYPE& record, const std::string& key) {
  CopyBounded(record.index_key, key.c_str(), sizeof record.index_key);
  const uint32_t attached = AttachToIndex(&record);
  if (attached == 0 || record.index == nullptr) {
    record.index_key[0] = '\0';
    return Attach::kFailed;
  }
  return attached == 1 ? Attach::kNew : Attach::kExisting;
}

// Steps 1 to 4 shared by both opens: names in, a held key compared, the
// previous object let go, the new key attached. `reused` is set when the
// same key is held already (the caller decides what that returns).
Attach PrepareOpen(STOREINDEXTYPE& record, const FolderNames& names, uint32_t folder_type,
                   const std::string_view* item_id, bool* reused) {
  *reused = false;
  SetRecordNames(record, names, folder_type);
  const std::string key = KeyFor(record, item_id);
  if (key.empty()) return Attach::kFailed;
  if (record.index != nullptr) {
    if (key == record.index_key) {
      *reused = true;
      return Attach::kExisting;
    }
    if (item_id != nullptr) {
      platform::DebugOutput(
          "StoreFolder_OpenItem::Thread superceeded current index (folder change or thread "
          "change). Closing Original\n");
    } else {
      platform::DiagPrintf("Thread superceeded current index. Closing Original and creating new\n");
    }
    ReleaseRecord(record, 0);
    // The release clears the names when it destroyed the object; the new
    // folder's names are needed below.
    SetRecordNames(record, names, folder_type);
  }
  ItemStateOf(record).single_item = item_id != nullptr;
  return AttachRecord(record, key);
}

// Where a folder of type 5 reads its calendar: the folder text itself when
// it is a web address; else the folder's file below the mailbox, unless a
// name would lead out of the store (store_names.h), or the path, through a
// link, does (store_roots.h). A text that mentions "http://" without
// beginning with it names neither (read as a path it would name a file
// relative to wherever the server runs).
std::optional<std::string> CalendarFeedSource(const STOREINDEXTYPE& record) {
  const std::string_view folder = record.folder;
  for (std::string_view scheme : {"http://", "https://"}) {
    if (platform::StartsWithNoCase(folder, scheme)) return std::string(folder);
  }
  if (FindNoCaseIn(folder, "http://") != std::string_view::npos) return std::nullopt;
  if (!AcceptStoreNames(record.postoffice, record.mailbox, record.folder)) return std::nullopt;
  std::string path = std::string(Settings().mail_root) + "\\" + record.postoffice + "\\MAILROOT\\" +
                     record.mailbox + "\\" + record.folder;
  if (!IsInsideStore(path, record.postoffice)) return std::nullopt;
  return path;
}

uint32_t OpenCalendarFeed(STOREINDEXTYPE& record, const FolderNames& names) {
  std::unique_ptr<CalendarFeed> feed = NewCalendarFeed();
  if (!feed) return 0;
  SetRecordNames(record, names, kFolderTypeICalendar);
  ItemState& state = ItemStateOf(record);
  state.calendar = std::move(feed);
  const std::optional<std::string> source = CalendarFeedSource(record);
  if (!source) return 0;
  return state.calendar->Open(*source);
}

bool HoldsAnyDocument(StoreIndex* index) {
  StoreIndexLock lock(index);
  return static_cast<bool>(HeldDocument(index));
}

// An index holding only the root element, for a single item.
bool HoldEmptyIndex(StoreIndex* index) {
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document || !InitializeIndexDocument(document)) return false;
  StoreIndexLock lock(index);
  HoldDocument(index, document);
  return true;
}

void SetItemNames(STOREINDEXTYPE& record, const FolderNames& names) {
  CopyName(record.item_postoffice, names.postoffice);
  CopyName(record.item_mailbox, names.mailbox);
  CopyName(record.item_folder, names.folder);
  BuildIndexFolderDirectory(record.item_folder_directory, sizeof record.item_folder_directory,
                            record.item_postoffice, record.item_mailbox, record.item_folder);
}

// Fills a new single-item object: an empty index and the item from its file.
bool LoadSingleItem(STOREINDEXTYPE& record, const ItemKind& kind, std::string_view item_id) {
  // Names that lead out of the store leave no folder directory to read from.
  if (record.item_folder_directory[0] == '\0') return false;
  StoreIndex* index = record.index;
  if (!HoldEmptyIndex(index)) {
    platform::DebugOutput("StoreFolder_OpenItem::Unable to LoadEmptyIndex");
    return false;
  }
  platform::DebugOutput("StoreFolder_OpenItem::Loading Item from Backend into CurrentFolderItem\n");
  StoreIndexLock lock(index);
  RefreshItemHandles(record);
  pugi::xml_node entry;
  const ItemLoader load = kind.load_item != nullptr ? kind.load_item : LoadBareItem;
  if (!load(index, record.item_folder_directory, item_id, &entry)) return false;
  SetCurrentItem(record, entry);
  return true;
}

}  // namespace

uint32_t OpenRecordFolder(STOREINDEXTYPE& record, std::string_view postoffice,
                          std::string_view mailbox, std::string_view folder,
                          uint32_t folder_type, uint32_t open_mode) {
  const FolderNames names{postoffice, mailbox, folder};
  if (!names.Fit()) return 0;
  if (folder_type == kFolderTypeICalendar) return OpenCalendarFeed(record, names);
  if (ItemKindFor(folder_type) == nullptr) return 0;
  bool reused = false;
  const Attach attached = PrepareOpen(record, names, folder_type, nullptr, &reused);
  if (reused) {
    platform::DiagPrintf("StoreFolder_Open::Piggybacking Index\n");
    return 2;
  }
  if (attached == Attach::kFailed) return 0;
  {
    MutexLock index_lock(IndexMutex());
    StoreIndex* index = record.index;
    // The thread that created the object may not have filled it in yet:
    // whoever takes the index mutex first does.
    if (index->folder_directory[0] == '\0') {
      SetStoreIndexNames(index, record.postoffice, record.mailbox, record.folder);
      index->folder_type = folder_type;
      SetStoreIndexPaths(index);
    }
    if (open_mode == kOpenWithoutLoading) return 2;
    if (OpenStoreIndex(index, kOpenCheckDirty) != kOpenFailed) return 1;
  }
  ReleaseRecord(record, 0);
  return 0;
}

uint32_t OpenRecordItem(STOREINDEXTYPE& record, std::string_view postoffice,
                        std::string_view mailbox, std::string_view folder,
                        std::string_view item_id, uint32_t folder_type) {
  const FolderNames names{postoffice, mailbox, folder};
  const ItemKind* kind = ItemKindFor(folder_type);
  if (!names.Fit() || kind == nullptr || folder_type == kFolderTypeICalendar ||
      !IsPlainFileName(item_id)) {
    return 0;
  }
  bool reused = false;
  const Attach attached = PrepareOpen(record, names, folder_type, &item_id, &reused);
  if (reused && HoldsAnyDocument(record.index)) {
    platform::DebugOutput("StoreFolder_OpenItem::Piggybacking Index\n");
    return 2;
  }
  if (attached == Attach::kFailed) return 0;
  bool loaded = false;
  {
    MutexLock index_lock(IndexMutex());
    StoreIndex* index = record.index;
    SetItemNames(record, names);
    if (attached == Attach::kNew || !HeldDocument(index)) {
      SetStoreIndexNames(index, record.postoffice, record.mailbox, record.folder);
      index->folder_type = folder_type;
      loaded = LoadSingleItem(record, *kind, item_id);
    } else {
      StoreIndexLock lock(index);
      RefreshItemHandles(record);
      const pugi::xml_node entry = FindItemElement(HeldDocument(index), item_id);
      if (entry) SetCurrentItem(record, entry);
      loaded = static_cast<bool>(entry);
    }
  }
  if (loaded) return 1;
  ReleaseRecord(record, 0);
  return 0;
}

uint32_t CloseRecordFolder(STOREINDEXTYPE& record) {
  if (record.folder_type == kFolderTypeICalendar) {
    ItemStateOf(record).calendar.reset();
    return 1;
  }
  ReleaseRecord(record, 0);
  return 1;
}

uint32_t FindCloseRecordFolder(STOREINDEXTYPE& record) {
  if (record.folder_type == kFolderTypeICalendar) ItemStateOf(record).calendar.reset();
  ReleaseRecord(record, 1);
  return 1;
}

}  // namespace qx
