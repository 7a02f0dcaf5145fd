#include "legacy/blob_transfer.h"

#include <atomic>

#include "platform/file.h"
#include "platform/listing.h"

namespace qx {

namespace {

// Unguarded in the original; atomics keep the same sharing without a data race.
std::atomic<int32_t> g_offsets[2];

std::atomic<int32_t>& OffsetOf(BlobFamily family) {
  return g_offsets[family == BlobFamily::kBadMail ? 0 : 1];
}

// Fills as much of `data` as the file holds from its position on; -1 when
// reading fails before anything was read.
int64_t ReadUpTo(platform::File& file, std::span<uint8_t> data) {
  size_t filled = 0;
  while (filled < data.size()) {
    int64_t count = file.Read(data.data() + filled, data.size() - filled);
    if (count < 0 && filled == 0) return -1;
    if (count <= 0) break;
    filled += static_cast<size_t>(count);
  }
  return static_cast<int64_t>(filled);
}

void WriteAll(platform::File& file, std::span<const uint8_t> data) {
  if (!data.empty()) file.Write(data.data(), data.size());
}

}  // namespace

int32_t BlobReadOffset(BlobFamily family) {
  return OffsetOf(family).load(std::memory_order_relaxed);
}

uint32_t BlobFileSize(BlobFamily family, std::string_view path) {
  OffsetOf(family).store(-1, std::memory_order_relaxed);
  platform::FindData found;
  if (path.empty() || !platform::FindFirst(path, &found)) return 0;
  return static_cast<uint32_t>(found.size);
}

void RestartBlobRead(BlobFamily family) { OffsetOf(family).store(0, std::memory_order_relaxed); }

std::optional<uint32_t> ReadBlobChunk(BlobFamily family, std::string_view path,
                                      std::span<uint8_t, kBlobChunkSize> data) {
  if (path.empty()) return std::nullopt;
  platform::File file =
      platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  if (!file.valid()) return std::nullopt;
  std::atomic<int32_t>& offset = OffsetOf(family);
  // The -1 a size call leaves is no place a seek can reach: the read then
  // starts at the beginning, as it always did.
  file.Seek(offset.load(std::memory_order_relaxed));
  int64_t count = ReadUpTo(file, data);
  if (count <= 0) return 0;
  offset.fetch_add(static_cast<int32_t>(count), std::memory_order_relaxed);
  return static_cast<uint32_t>(count);
}

void WriteFirstBlobChunk(std::string_view path, std::span<const uint8_t> data) {
  if (path.empty()) return;
  platform::DeleteFile(path);
  platform::File file =
      platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateAlways);
  if (file.valid()) WriteAll(file, data);
}

void WriteNextBlobChunk(std::string_view path, std::span<const uint8_t> data) {
  if (path.empty()) return;
  platform::File file =
      platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kOpenAlways);
  if (!file.valid()) return;
  int64_t end = file.Size();
  if (end >= 0 && file.Seek(end)) WriteAll(file, data);
}

}  // namespace qx
