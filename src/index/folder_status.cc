#include "index/folder_status.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "index/index_document.h"
#include "index/index_format.h"
#include "message/flag_words.h"
#include "platform/text_compare.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx {

using platform::EqualsNoCase;
using platform::FindNoCaseIn;

// Callers hand in their records as raw bytes and other processes read the
// file as they lie; both are little-endian numbers only on a little-endian host.
static_assert(std::endian::native == std::endian::little, "the status record is little-endian");

namespace {

// The flag test only ever looked at the first 255 bytes of FLAGSTATUS.
constexpr size_t kFlagTextLimit = 255;

// The value of the entry's child `name` without copying it ("" when absent).
std::string_view ChildValue(pugi::xml_node entry, const char* name) {
  return entry.child(name).first_child().value();
}

bool HasFlag(std::string_view flags, const char* word) {
  return FindNoCaseIn(flags, word) != std::string_view::npos;
}

}  // namespace

void StartFolderStatus(FolderStatusRecord status, uint32_t last_uid) {
  std::fill(status.begin(), status.end(), 0u);
  status[kStatusLastUid] = last_uid;
}

void CountEntryStatus(std::string_view flags, std::string_view read, FolderStatusRecord status) {
  flags = flags.substr(0, std::min(flags.size(), kFlagTextLimit));
  ++status[kStatusEntries];
  if (HasFlag(flags, kFlagDeleted)) ++status[kStatusDeleted];
  if (HasFlag(flags, kFlagAnswered)) ++status[kStatusAnswered];
  if (HasFlag(flags, kFlagFlagged)) ++status[kStatusFlagged];
  if (HasFlag(flags, kFlagRecent)) ++status[kStatusRecent];
  if (HasFlag(flags, kFlagSeen) || EqualsNoCase(read, "1")) {
    ++status[kStatusSeen];
    status[kStatusSeenMarker] = 1;
  }
}

bool ComputeFolderStatus(const XmlDocument& document, FolderStatusRecord status) {
  if (!document) return false;
  pugi::xml_node root = document.DocumentElement();
  if (!root) return false;
  StartFolderStatus(status, DocumentLastUid(document));
  for (pugi::xml_node entry = root.first_child(); entry; entry = entry.next_sibling()) {
    if (entry.type() != pugi::node_element) continue;
    CountEntryStatus(ChildValue(entry, kFlagStatusElement), ChildValue(entry, kReadElement), status);
  }
  return true;
}

std::string CachedStatusPath(const char* postoffice, const char* mailbox, const char* folder) {
  const char* name = folder == nullptr ? "" : folder;
  char directory[kStorePathSize];
  if (GetFolderDirectory(directory, sizeof directory, postoffice, mailbox, name) == 0) return {};
  // The directory of the empty folder name already ends with its separator.
  return JoinStorePath(directory, kFolderStatusFileName,
                       *name != '\0' ? Separator::kAdd : Separator::kPresent);
}

uint32_t ReadFolderStatusFile(std::string_view path, void* record) {
  if (record == nullptr || path.empty()) return 0;
  platform::File file =
      platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  if (!file.valid()) return 0;
  // Read into a scratch record so that a failed read leaves the caller's alone.
  unsigned char bytes[kFolderStatusSize];
  size_t filled = 0;
  while (filled < sizeof bytes) {
    int64_t got = file.Read(bytes + filled, sizeof bytes - filled);
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
  }
  if (filled == 0) return 0;
  std::memcpy(record, bytes, filled);
  return 1;
}

uint32_t WriteFolderStatusFile(std::string_view path, const void* record) {
  if (record == nullptr || path.empty()) return 0;
  const std::string_view bytes(static_cast<const char*>(record), kFolderStatusSize);
  return platform::OverwriteFile(path, bytes) ? 1 : 0;
}

uint32_t WriteFolderStatusInDirectory(std::string_view folder_directory, const void* record) {
  return WriteFolderStatusFile(FolderFilePath(folder_directory, kFolderStatusFileName), record);
}

uint32_t GetCachedStatus(const char* postoffice, const char* mailbox, const char* folder,
                         void* record) {
  return ReadFolderStatusFile(CachedStatusPath(postoffice, mailbox, folder), record);
}

uint32_t SetCachedStatus(const char* postoffice, const char* mailbox, const char* folder,
                         const void* record) {
  return WriteFolderStatusFile(CachedStatusPath(postoffice, mailbox, folder), record);
}

uint32_t CacheFolderStatus(const XmlDocument& document, FolderStatusRecord status,
                           std::string_view folder_directory) {
  if (!ComputeFolderStatus(document, status)) return 0;
  return WriteFolderStatusInDirectory(folder_directory, status.data());
}

}  // namespace qx
