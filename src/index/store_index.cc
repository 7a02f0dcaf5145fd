#include "index/store_index.h"

#include <cstring>
#include <new>

#include "frame/store_paths.h"
#include "platform/text_compare.h"
#include "platform/diagnostics.h"
#include "qxstore_record_text.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

platform::MutexHandle MutexOf(const StoreIndex* index) {
  return reinterpret_cast<platform::MutexHandle>(index->mutex);
}

std::string_view OrEmpty(const char* text) { return text == nullptr ? std::string_view() : text; }

// Names the store paths put in the postoffice's contact store: "$VCFROOT"
// as a plain prefix, in any case.
bool IsContactStoreName(std::string_view folder_name) {
  return platform::StartsWithNoCase(folder_name, "$VCFROOT");
}

}  // namespace

uint32_t FolderTypeFromName(std::string_view folder_name) {
  while (!folder_name.empty() && (folder_name.front() == '/' || folder_name.front() == '\\')) {
    folder_name.remove_prefix(1);
  }
  if (EqualsNoCase(folder_name, "CALENDAR")) return kFolderTypeCalendar;
  if (EqualsNoCase(folder_name, "TASKS")) return kFolderTypeTasks;
  if (EqualsNoCase(folder_name, "CONTACTS")) return kFolderTypeContacts;
  if (IsContactStoreName(folder_name)) return kFolderTypeContacts;
  return kFolderTypeMail;
}

StoreIndex* CreateStoreIndex() {
  auto* index = new (std::nothrow) StoreIndex;
  if (index != nullptr) InitStoreIndex(index);
  return index;
}

uint32_t InitStoreIndex(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to StoreIndex_Init\n");
    return 0;
  }
  std::memset(index, 0, sizeof *index);
  return 1;
}

bool CreateStoreIndexMutex(StoreIndex* index) {
  platform::MutexHandle mutex = platform::CreateMutex();
  index->mutex = reinterpret_cast<uintptr_t>(mutex);
  return mutex != nullptr;
}

void SetStoreIndexNames(StoreIndex* index, const char* postoffice, const char* mailbox,
                        const char* folder) {
  SetRecordText(index->postoffice, OrEmpty(postoffice));
  SetRecordText(index->mailbox, OrEmpty(mailbox));
  SetRecordText(index->folder, OrEmpty(folder));
}

uint32_t SetStoreIndexPaths(StoreIndex* index) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to StoreIndex_SetPaths\n");
    return 0;
  }
  if (index->folder_directory[0] != '\0') return 1;
  return BuildIndexFolderDirectory(index->folder_directory, sizeof index->folder_directory,
                                   index->postoffice, index->mailbox, index->folder);
}

void SetFolderDirectory(StoreIndex* index, std::string_view directory) {
  SetRecordText(index->folder_directory, directory);
}

void ClearFolderDirectory(StoreIndex* index) { index->folder_directory[0] = '\0'; }

XmlDocument HeldDocument(const StoreIndex* index) {
  return XmlDocument::FromHandle(index->folder_index);
}

void HoldDocument(StoreIndex* index, const XmlDocument& document) {
  const uintptr_t handle = document.NewHandle();
  ReleaseIndexDocument(index);
  index->folder_index = handle;
}

pugi::xml_node CurrentEntry(const StoreIndex* index) {
  return pugi::xml_node(reinterpret_cast<pugi::xml_node_struct*>(index->index_node));
}

void SetCurrentEntry(StoreIndex* index, pugi::xml_node entry) {
  index->index_node = reinterpret_cast<uintptr_t>(entry.internal_object());
}

void ReleaseIndexDocument(StoreIndex* index) {
  index->index_node = 0;
  XmlDocument::ReleaseHandle(index->folder_index);
  index->folder_index = 0;
}

uint32_t ReleaseStoreIndex(StoreIndex* index) {
  if (index == nullptr) return 0;
  ReleaseIndexDocument(index);
  index->index_stamp = 0;
  index->index_file_size = 0;
  if (index->mutex != 0) platform::CloseMutex(MutexOf(index));
  index->mutex = 0;
  return 1;
}

void DestroyStoreIndex(StoreIndex* index) { delete index; }

StoreIndexLock::StoreIndexLock(const StoreIndex* index) {
  if (index == nullptr || index->mutex == 0) return;
  const platform::WaitResult result = platform::WaitForMutex(MutexOf(index), platform::kInfinite);
  if (result == platform::WaitResult::kAcquired || result == platform::WaitResult::kAbandoned) {
    mutex_ = MutexOf(index);
  }
}

StoreIndexLock::~StoreIndexLock() {
  if (mutex_ != nullptr) platform::ReleaseMutex(mutex_);
}

}  // namespace qx
