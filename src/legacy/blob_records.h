#pragma once
// The BLOB functions' local work on their records: what the exported
// functions do when the call is not forwarded, and what a remote
// administration host does with a forwarded one.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "qxstore.h"

namespace qx {

// A full path under the bad mail directory (IsAllowedBadMailPath); any
// other path gives 0 and touches nothing. Results and record fields as the exported
// functions of the same names document in qxstore.h. Null gives 0.
uint32_t LocalBLOBGetSize(BLOBRECORD* blob);
uint32_t LocalBLOBGetFirstChunk(BLOBRECORD* blob);
uint32_t LocalBLOBGetNextChunk(BLOBRECORD* blob);
uint32_t LocalBLOBWriteFirstChunk(BLOBRECORD* blob);
uint32_t LocalBLOBWriteNextChunk(BLOBRECORD* blob);

// A file in a store folder, its path built by GetBlobFilePath. A path that
// does not fit 1024 bytes touches nothing: reads give 0, writes 1. Names or
// links that lead out of the store (store_paths.h) touch nothing either,
// and every call gives 0 (the size call length 0).
uint32_t LocalMessageItemBLOBGetSize(MESSAGEBLOBRECORD* blob);
uint32_t LocalMessageItemBLOBGetFirstChunk(MESSAGEBLOBRECORD* blob);
uint32_t LocalMessageItemBLOBGetNextChunk(MESSAGEBLOBRECORD* blob);
uint32_t LocalMessageItemBLOBWriteFirstChunk(MESSAGEBLOBRECORD* blob);
uint32_t LocalMessageItemBLOBWriteNextChunk(MESSAGEBLOBRECORD* blob);

// Writes a whole message file into the store folder and name a message BLOB
// record gives (its data and length are not used) in one durable replace:
// the file appears under its name only once whole, where the chunk calls
// leave its first part there until the last chunk (a crash between them
// leaves a cut message that the next scan indexes). `read` fills up to its
// size of bytes and returns the count, 0 at the end, -1 on failure. The
// number of bytes written; nothing, with the last error, when the names lead
// out of the store (a refusal, store_names.h), the path does not fit (87),
// reading fails (31) or the file cannot be written.
using SourceReader = std::function<int64_t(uint8_t* buffer, size_t size)>;
std::optional<uint64_t> LocalMessageItemWriteWhole(const MESSAGEBLOBRECORD& names,
                                                   const SourceReader& read);

}  // namespace qx
