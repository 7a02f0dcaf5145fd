#pragma once
// Whole files moved between a caller and the store in chunks of at most
// 8192 bytes. A read is: an optional size call, the first chunk, then next
// chunks until one reads nothing. A write is: the first chunk, which
// re-creates the file, then next chunks, which append.
//
// Each family of BLOB functions keeps one read offset for the whole
// process, shared by all its threads and files, as callers have always
// relied on: one read per family may run at a time in a process. Writes
// keep no state between calls.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qx {

inline constexpr size_t kBlobChunkSize = 8192;

enum class BlobFamily {
  kBadMail,      // files named by a full path under the bad mail directory
  kMessageItem,  // files in a store folder
};

// Where the family's next chunk read starts: 0 after a first-chunk call,
// -1 after a size call, advanced by each chunk read.
int32_t BlobReadOffset(BlobFamily family);

// Sets the family's offset to -1 and returns the size of the file at `path`
// as a directory listing reports it (the low 32 bits), 0 when none is found.
uint32_t BlobFileSize(BlobFamily family, std::string_view path);

// Sets the family's offset to 0: the next chunk read starts a transfer.
void RestartBlobRead(BlobFamily family);

// Reads up to kBlobChunkSize bytes of the file at `path` from the family's
// offset into `data` and advances the offset by the count read. The count
// (0 at the end of the file), or nullopt when the file cannot be opened.
std::optional<uint32_t> ReadBlobChunk(BlobFamily family, std::string_view path,
                                      std::span<uint8_t, kBlobChunkSize> data);

// Deletes the file at `path` and creates it holding `data`. A file that
// cannot be created is skipped silently: callers are not told.
void WriteFirstBlobChunk(std::string_view path, std::span<const uint8_t> data);

// Appends `data` to the file at `path`, creating it when missing. A file
// that cannot be opened is skipped silently.
void WriteNextBlobChunk(std::string_view path, std::span<const uint8_t> data);

}  // namespace qx
