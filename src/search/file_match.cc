#include "search/file_match.h"

#include <cstring>

#include "platform/file.h"
#include "search/wildcard_match.h"

namespace qx {
namespace {

// Files are read many pieces at a time; the pieces themselves are what
// reading kSearchChunkSize bytes at a time would give.
constexpr size_t kChunksPerRead = 64;
constexpr size_t kReadSize = kSearchChunkSize * kChunksPerRead;

bool ChunkMatches(const char* chunk, size_t length, std::string_view pattern,
                  bool case_sensitive) {
  const void* nul = std::memchr(chunk, '\0', length);
  if (nul != nullptr) length = static_cast<size_t>(static_cast<const char*>(nul) - chunk);
  return MatchesSearchPattern(pattern, std::string_view(chunk, length), case_sensitive);
}

}  // namespace

bool FileMatchesPattern(std::string_view path, std::string_view pattern, bool case_sensitive) {
  platform::File file =
      platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  if (!file.valid()) return false;
  char buffer[kReadSize];
  size_t filled = 0;
  while (true) {
    const int64_t got = file.Read(buffer + filled, kReadSize - filled);
    if (got < 0) return false;
    if (got == 0) break;
    filled += static_cast<size_t>(got);
    size_t offset = 0;
    for (; filled - offset >= kSearchChunkSize; offset += kSearchChunkSize) {
      if (ChunkMatches(buffer + offset, kSearchChunkSize, pattern, case_sensitive)) return true;
    }
    std::memmove(buffer, buffer + offset, filled - offset);
    filled -= offset;
  }
  return filled > 0 && ChunkMatches(buffer, filled, pattern, case_sensitive);
}

}  // namespace qx
