#include "frame/file_helpers.h"

#include "frame/bounded_text.h"
#include "frame/store_paths.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/listing.h"
#include "platform/random_id.h"
#include "platform/real_path.h"

namespace qx {

namespace {

// The tree deletion's paths are held to 511 bytes.
constexpr size_t kTreePathSize = 512;

}  // namespace

uint32_t FileExists(const char* pattern) {
  if (pattern == nullptr) return 0;
  platform::FindData found;
  return platform::FindFirst(pattern, &found) ? 1 : 0;
}

uint32_t TouchFile(const char* path) {
  if (path == nullptr) return 0;
  uint64_t now = platform::NowFileTime();
  platform::FileTimes times{now, now, now};
  return platform::SetFileTimes(path, times) ? 1 : 0;
}

uint32_t GetFileDosStamp(const char* path) {
  if (path == nullptr) return 0;
  platform::FileTimes times;
  platform::File file = platform::File::Open(path, platform::Access::kRead,
                                             platform::Disposition::kOpenExisting);
  if (file.valid() && file.GetTimes(&times)) return platform::DosStampFromFileTime(times.last_write);
  // A file held without sharing cannot be opened; its listing entry still
  // carries the time.
  platform::FindData found;
  if (platform::FindFirst(path, &found)) return platform::DosStampFromFileTime(found.last_write_time);
  return 0;
}

uint32_t DeleteDirectoryTree(const char* directory, const char* pattern) {
  if (directory == nullptr) return 0;
  const std::string listing_path =
      JoinStorePathWithin(directory, pattern == nullptr ? "*.*" : pattern, kTreePathSize);
  if (listing_path.empty()) return 0;
  platform::Listing listing = platform::Listing::Open(listing_path, platform::ListingScope::kEveryEntry);
  if (!listing.valid()) return 0;
  do {
    const platform::FindData& entry = listing.current();
    if (entry.name == "." || entry.name == "..") continue;
    const std::string entry_path = JoinStorePathWithin(directory, entry.name, kTreePathSize);
    if (entry_path.empty()) return 0;
    // A link goes, never what it leads to, which may lie outside the store:
    // not even its read-only bit is touched.
    if (entry.symbolic_link) {
      platform::DeleteSymbolicLink(entry_path);
      continue;
    }
    if (entry.attributes & platform::kAttributeReadOnly) {
      platform::SetFileAttributes(entry_path, entry.attributes & ~platform::kAttributeReadOnly);
    }
    if (entry.attributes & platform::kAttributeDirectory) {
      DeleteDirectoryTree(entry_path.c_str(), pattern);
    } else {
      platform::DeleteFile(entry_path);
    }
  } while (listing.Next());
  return platform::RemoveDirectory(directory) ? 1 : 0;
}

uint32_t NewMessageFileName(char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  return FormatBounded(out, size, "%s.MAI", platform::GuidText(platform::NewGuid()).c_str()) ? 1 : 0;
}

}  // namespace qx
