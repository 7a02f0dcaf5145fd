#include "index/folder_rescan.h"

#include <atomic>
#include <string>

#include "common/block_files.h"
#include "frame/registry_readers.h"
#include "index/folder_type_handlers.h"
#include "index/index_scan.h"
#include "index/store_index.h"
#include "platform/text_compare.h"
#include "platform/diagnostics.h"
#include "platform/file.h"
#include "folder/folder_files.h"
#include "folder/folder_flags.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

constexpr const char* kStoreProviderKey = "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Providers\\Store";
constexpr uint32_t kDefaultInjectionLimit = 3072;

std::atomic<int64_t> injection_limit{-1};

// Large indexes are summed as they stand: rescanning them before every size
// query would cost more than the query is worth.
bool SmallEnoughToRescan(std::string_view folder_directory) {
  const int64_t size = platform::GetFileSize(FolderFilePath(folder_directory, kIndexFileName));
  const uint64_t kilobytes = size < 0 ? 0 : static_cast<uint64_t>(size) / 1024;
  return kilobytes < IndexInjectionSizeLimit();
}

void RescanHeldFolder(std::string_view folder_path, std::string_view folder_directory) {
  StoreIndex index;
  InitStoreIndex(&index);
  SetFolderDirectory(&index, folder_directory);
  if (EqualsNoCase(folder_path, "//Contacts")) {
    index.folder_type = kFolderTypeContacts;
    if (FolderTypeScan scan = FolderTypeHandlersFor(kFolderTypeContacts).scan) scan(&index, kScanCheckDirty);
  } else {
    RescanFolderIndex(&index, false, false, kNoSocket, kScanCheckDirty);
  }
  ReleaseStoreIndex(&index);
}

}  // namespace

uint32_t IndexInjectionSizeLimit() {
  int64_t limit = injection_limit.load();
  if (limit < 0) {
    limit = RegistryDwordOr(kStoreProviderKey, "Index Injection Size Limit", kDefaultInjectionLimit);
    if (limit == 0) limit = kDefaultInjectionLimit;
    injection_limit.store(limit);
  }
  return static_cast<uint32_t>(limit);
}

void ForgetIndexInjectionSizeLimit() { injection_limit.store(-1); }

bool RescanFolderBeforeSizeSum(std::string_view folder_path, std::string_view folder_directory) {
  if (folder_path == "/" || EqualsNoCase(folder_path, "//Calendar")) return false;
  if (folder_directory.empty() || !SmallEnoughToRescan(folder_directory)) return false;
  const std::string block = FolderFilePath(folder_directory, kIndexBlockFileName);
  uintptr_t handle = 0;
  if (TakeIndexBlock(block.c_str(), true, &handle) != 1) return false;
  const bool dirty = CheckFolderFlags(folder_directory, false, FolderFlag::kChanged, true) == 1;
  if (dirty) RescanHeldFolder(folder_path, folder_directory);
  if (ReleaseIndexBlock(block.c_str(), handle != 0, &handle) == 0) {
    platform::DiagPrintf("ScanFoldersOrdered::Unable to remove blocking file");
  }
  return dirty;
}

}  // namespace qx
