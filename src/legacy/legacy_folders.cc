#include "legacy/legacy_folders.h"

#include <optional>

#include "frame/store_paths.h"
#include "frame/bounded_text.h"
#include "frame/store_roots.h"
#include "legacy/legacy_state_lock.h"
#include "qxstore_record_text.h"
#include "platform/file.h"
#include "platform/listing.h"

namespace qx {

namespace {

constexpr size_t kFolderPathSize = 1024;

// The folder search handle: one per process, shared by every thread.
std::optional<platform::Listing>& FolderListing() {
  static std::optional<platform::Listing> listing;
  return listing;
}

// Copies the listing's current name into the record, or closes the listing
// when it has run out. 1 when a name was copied.
uint32_t TakeCurrentName(FOLDERRECORD* folder) {
  std::optional<platform::Listing>& listing = FolderListing();
  if (!listing || !listing->valid()) {
    listing.reset();
    return 0;
  }
  SetRecordText(folder->name, listing->current().name);
  return 1;
}

}  // namespace

std::string LegacyFolderPath(const FOLDERRECORD& folder) {
  std::string path = JoinStorePathWithin(RecordText(folder.directory), RecordText(folder.name),
                                         kFolderPathSize);
  return IsAllowedFullPath(path) ? path : std::string();
}

uint32_t LocalFolderAdd(FOLDERRECORD* folder) {
  if (folder == nullptr) return 0;
  const std::string path = LegacyFolderPath(*folder);
  return !path.empty() && platform::CreateDirectory(path) ? 1 : 0;
}

uint32_t LocalFolderGet(FOLDERRECORD* folder) {
  if (folder == nullptr) return 0;
  return !FullPathsConfined() || !LegacyFolderPath(*folder).empty() ? 1 : 0;
}

uint32_t LocalFolderRemove(FOLDERRECORD* folder) {
  if (folder == nullptr) return 0;
  const std::string path = LegacyFolderPath(*folder);
  return !path.empty() && platform::RemoveDirectory(path) ? 1 : 0;
}

uint32_t LocalFolderEdit(FOLDERRECORD* old_folder, FOLDERRECORD* new_folder) {
  if (old_folder == nullptr || new_folder == nullptr) return 0;
  const std::string from = LegacyFolderPath(*old_folder);
  const std::string to = LegacyFolderPath(*new_folder);
  return !from.empty() && !to.empty() && platform::MoveFile(from, to) ? 1 : 0;
}

uint32_t LocalFolderFindFirst(FOLDERRECORD* folder) {
  if (folder == nullptr) return 0;
  LegacyStateLock lock;
  char pattern[kFolderPathSize];
  const std::string directory = RecordText(folder->directory);
  if (!IsAllowedFullPath(directory)) {
    FolderListing().reset();
    return 0;
  }
  // "*." is what the original pattern rules give for names without an
  // extension: sub-folders, and also files such as "README".
  if (!FormatBounded(pattern, sizeof pattern, "%s\\*.", directory.c_str())) {
    FolderListing().reset();
    return 0;
  }
  FolderListing() = platform::Listing::Open(pattern);
  return TakeCurrentName(folder);
}

uint32_t LocalFolderFindNext(FOLDERRECORD* folder) {
  if (folder == nullptr) return 0;
  LegacyStateLock lock;
  std::optional<platform::Listing>& listing = FolderListing();
  if (!listing) return 0;
  listing->Next();
  return TakeCurrentName(folder);
}

uint32_t LocalFolderFindClose(FOLDERRECORD*) {
  LegacyStateLock lock;
  FolderListing().reset();
  return 0;
}

}  // namespace qx
