#include "folder/folder_size_cache.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "folder/folder_files.h"
#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "frame/store_roots.h"
#include "frame/number_text.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/file.h"

namespace qx {

namespace {

// Only the first 254 bytes of a cache file were ever read.
constexpr size_t kSizeCacheReadLimit = 254;
// A trusted cache is read from its first line, as a 2048-byte line buffer.
constexpr size_t kCacheLineLimit = 2047;
constexpr uint64_t kFileTimeTicksPerSecond = 10000000;

int64_t ReadCachedKilobytes(platform::File& file) {
  char text[kSizeCacheReadLimit];
  size_t filled = 0;
  while (filled < sizeof text) {
    int64_t got = file.Read(text + filled, sizeof text - filled);
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
  }
  return LeadingInteger(std::string_view(text, filled));
}

// The file may hold any number up to INT64_MAX (or down to INT64_MIN), so
// adding to it must not overflow: a sum beyond the range stays at its end.
int64_t SaturatingAdd(int64_t value, int64_t change) {
  int64_t sum;
  if (!__builtin_add_overflow(value, change, &sum)) return sum;
  return change > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

}  // namespace

bool WriteSizeCache(std::string_view directory, uint32_t kilobytes) {
  return platform::OverwriteFile(SizeCachePath(directory), std::to_string(static_cast<int32_t>(kilobytes)));
}

std::optional<uint32_t> ReadTrustedSizeCache(std::string_view directory) {
  const std::string path = SizeCachePath(directory);
  platform::FileTimes times;
  if (!platform::GetFileTimes(path, &times)) return std::nullopt;
  const uint64_t now = platform::NowFileTime();
  if (now < times.last_write) return std::nullopt;
  const int64_t age_seconds = static_cast<int64_t>((now - times.last_write) / kFileTimeTicksPerSecond);
  if (age_seconds < kSizeCacheMinAgeSeconds || age_seconds > kSizeCacheMaxAgeSeconds) {
    return std::nullopt;
  }
  std::string contents;
  if (!platform::ReadWholeFile(path, &contents)) return std::nullopt;
  std::string_view first_line(contents);
  first_line = first_line.substr(0, std::min(first_line.find_first_of("\r\n"), kCacheLineLimit));
  const int64_t kilobytes = LeadingInteger(first_line);
  return static_cast<uint32_t>(std::clamp<int64_t>(kilobytes, 0, UINT32_MAX));
}

void DeleteSizeCache(std::string_view directory) { platform::DeleteFile(SizeCachePath(directory)); }

int32_t SizeChangeInKilobytes(int32_t delta_bytes) {
  return static_cast<int32_t>(std::floor(static_cast<double>(delta_bytes) / 1024.0 + 0.5));
}

bool AdjustSizeCacheFile(std::string_view path, int32_t change_kb) {
  platform::File file =
      platform::File::Open(path, platform::Access::kReadWrite, platform::Disposition::kOpenExisting,
                           platform::Sharing::kExclusive);
  if (!file.valid()) {
    // A cache that is there but cannot be opened is stale: nobody may trust it.
    const uint32_t error = platform::GetLastError();
    if (error != platform::kErrorFileNotFound && error != platform::kErrorPathNotFound) {
      platform::DeleteFile(path);
    }
    return false;
  }
  // The cache holds a 32-bit number; a sum beyond it is held at its top.
  const int64_t kilobytes =
      std::clamp<int64_t>(SaturatingAdd(ReadCachedKilobytes(file), change_kb), 0, INT32_MAX);
  const std::string text = std::to_string(kilobytes);
  return file.Seek(0) && file.Write(text) && file.Truncate(static_cast<int64_t>(text.size())) &&
         file.Close();
}

uint32_t AdjustMailboxSize(const char* postoffice, const char* mailbox, int32_t delta_bytes,
                           const char* folder) {
  const int32_t change_kb = SizeChangeInKilobytes(delta_bytes);
  if (change_kb == 0) return 0;
  const std::string mailbox_directory = PostofficeMailboxDirectory(postoffice, mailbox);
  if (mailbox_directory.empty() || !IsStoreFolderText(folder)) return 0;
  bool written = AdjustSizeCacheFile(SizeCachePath(mailbox_directory), change_kb);
  if (folder != nullptr && *folder != '\0') {
    const Separator separator = *folder == '\\' ? Separator::kPresent : Separator::kAdd;
    const std::string folder_directory = JoinStorePath(mailbox_directory, folder, separator);
    if (!IsInsideStore(folder_directory, postoffice)) return 0;
    written = AdjustSizeCacheFile(SizeCachePath(folder_directory), change_kb);
  }
  return written ? 1 : 0;
}

}  // namespace qx
