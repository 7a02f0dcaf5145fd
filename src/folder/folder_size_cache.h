#pragma once
// The size caches "_DIRSIZE.TMP": one decimal number of kilobytes, written
// with no line ending, kept in a mailbox directory (the whole mailbox), in
// its Inbox and in folder directories (that folder). Quota checks trust a
// fresh one instead of walking the mailbox; item changes adjust them in place.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// Writes `kilobytes` as the decimal text of "<directory>\_DIRSIZE.TMP",
// replacing what was there. False when the file cannot be written.
bool WriteSizeCache(std::string_view directory, uint32_t kilobytes);

// The cache's trust window: a file written this second may still be about to
// change, and one older than twenty minutes has missed changes no one
// adjusted it for.
inline constexpr int64_t kSizeCacheMinAgeSeconds = 1;
inline constexpr int64_t kSizeCacheMaxAgeSeconds = 1200;

// The number in "<directory>\_DIRSIZE.TMP" (its first line, at most 2047
// characters) when the file's age, the current time less its last-write
// time in whole seconds, is 1 to 1200. Nothing for a missing file or any
// other age.
std::optional<uint32_t> ReadTrustedSizeCache(std::string_view directory);

// Deletes "<directory>\_DIRSIZE.TMP", so the next query computes anew.
void DeleteSizeCache(std::string_view directory);

// A change in bytes as whole kilobytes, rounded half up in floating point
// (floor(bytes / 1024 + 0.5)), so 511 gives 0, 512 gives 1, -600 gives -1.
int32_t SizeChangeInKilobytes(int32_t delta_bytes);

// Adds `change_kb` to the number in the existing cache file at `path`,
// opened for reading and writing without sharing: reads up to 254 bytes as
// a decimal number, adds, holds a negative sum at 0, writes the sum back from
// the start and cuts the file there. A file that cannot be opened is
// deleted, so the next size query computes the size anew. True when written.
bool AdjustSizeCacheFile(std::string_view path, int32_t change_kb);

// Adjusts the mailbox's cache "<po dir>\MAILROOT\<mailbox>\_DIRSIZE.TMP" and,
// when `folder` is given (not null, not empty), the folder's
// "<po dir>\MAILROOT\<mailbox>\<folder>\_DIRSIZE.TMP" (no '\' added when the
// folder begins with one) by `delta_bytes` in kilobytes as rounded above.
// Nothing happens, result 0, when the change rounds to 0 or the names lead
// out of the store (store_paths.h). Otherwise 1 when the last file adjusted
// was written.
uint32_t AdjustMailboxSize(const char* postoffice, const char* mailbox, int32_t delta_bytes,
                           const char* folder);

}  // namespace qx
