#pragma once
// FILETIME values (100 ns ticks since 1601-01-01 UTC) held as one 64-bit
// number, and the DOS date and time stamps made from them.

#include <cstdint>
#include <ctime>

namespace qx::platform {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;
constexpr uint64_t kTicksPerSecond = 10000000ULL;

uint64_t FileTimeFromTimespec(const struct timespec& ts);
struct timespec TimespecFromFileTime(uint64_t file_time);

// DOS date (high 16 bits) and time (low 16 bits, two-second grain) of a
// UTC FILETIME. Returns false for times a DOS stamp cannot hold (before 1980
// or after 2107), leaving the outputs untouched.
bool FileTimeToDosDateTime(uint64_t file_time, uint16_t* dos_date, uint16_t* dos_time);
uint64_t DosDateTimeToFileTime(uint16_t dos_date, uint16_t dos_time);

// The 32-bit index stamp: DOS date in the high half, DOS time in the low half;
// 0 when the time cannot be converted.
uint32_t DosStampFromFileTime(uint64_t file_time);

}  // namespace qx::platform
