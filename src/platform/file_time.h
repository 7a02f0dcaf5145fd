#pragma once
// FILETIME values (100 ns ticks since 1601-01-01 UTC) held as one 64-bit
// number, and the DOS date and time stamps made from them.

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/civil_date.h"

namespace qx::platform {

struct FileTimes {
  uint64_t creation = 0;
  uint64_t last_access = 0;
  uint64_t last_write = 0;
};

// Times before 1601 give 0.
uint64_t FileTimeFromTimespec(const struct timespec& ts);
struct timespec TimespecFromFileTime(uint64_t file_time);

// DOS date (high 16 bits) and time (low 16 bits, two-second grain) of a
// UTC FILETIME. Returns false for times a DOS stamp cannot hold (before 1980
// or after 2107), leaving the outputs untouched.
bool FileTimeToDosDateTime(uint64_t file_time, uint16_t* dos_date, uint16_t* dos_time);
// 0 for a stamp whose fields name no real date or time.
uint64_t DosDateTimeToFileTime(uint16_t dos_date, uint16_t dos_time);

// The 32-bit index stamp: DOS date in the high half, DOS time in the low half;
// 0 when the time cannot be converted.
uint32_t DosStampFromFileTime(uint64_t file_time);

// The file a statx result came from, for keeping its creation time: an open
// descriptor when there is one, else a native path.
struct FileRef {
  int fd = -1;
  const char* native_path = nullptr;
};

// One time of a statx result.
uint64_t FileTimeFromStatx(const struct statx_timestamp& stamp);

// The statx mask that TimesFromStatx needs.
constexpr unsigned int kTimesStatxMask = STATX_BASIC_STATS | STATX_BTIME;

// The FILETIME times of a statx result. Creation is the birth time where the
// file system keeps one; elsewhere it is KeptCreationTime, so that it stays
// fixed for the life of the file (a folder's creation time is its UID
// validity: a value that drifts would renumber every message).
FileTimes TimesFromStatx(const struct statx& info, FileRef file);

// The creation time kept in the file's "user.qx.btime" attribute (decimal
// FILETIME ticks), stored there as `first_guess` on first use. Returns
// `first_guess` when the file system has no user attributes or the file
// cannot take one.
uint64_t KeptCreationTime(FileRef file, uint64_t first_guess);

}  // namespace qx::platform
