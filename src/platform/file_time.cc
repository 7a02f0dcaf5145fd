#include "platform/file_time.h"

#include <sys/xattr.h>

#include <cerrno>
#include <charconv>

namespace qx::platform {
namespace {

constexpr const char* kCreationAttribute = "user.qx.btime";

bool ParseTicks(const char* text, size_t length, uint64_t* ticks) {
  auto [end, error] = std::from_chars(text, text + length, *ticks);
  return error == std::errc() && end == text + length && *ticks != 0;
}

ssize_t ReadAttribute(FileRef file, char* buffer, size_t size) {
  if (file.fd >= 0) return ::fgetxattr(file.fd, kCreationAttribute, buffer, size);
  return ::getxattr(file.native_path, kCreationAttribute, buffer, size);
}

int WriteAttribute(FileRef file, const char* value, size_t size, int flags) {
  if (file.fd >= 0) return ::fsetxattr(file.fd, kCreationAttribute, value, size, flags);
  return ::setxattr(file.native_path, kCreationAttribute, value, size, flags);
}

}  // namespace

uint64_t FileTimeFromTimespec(const struct timespec& ts) {
  const int64_t seconds = static_cast<int64_t>(ts.tv_sec) + kSecondsFrom1601To1970;
  if (seconds < 0) return 0;
  return static_cast<uint64_t>(seconds) * kTicksPerSecond + static_cast<uint64_t>(ts.tv_nsec) / 100;
}

struct timespec TimespecFromFileTime(uint64_t file_time) {
  struct timespec ts {};
  ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(file_time / kTicksPerSecond) -
                                  kSecondsFrom1601To1970);
  ts.tv_nsec = static_cast<long>((file_time % kTicksPerSecond) * 100);
  return ts;
}

bool FileTimeToDosDateTime(uint64_t file_time, uint16_t* dos_date, uint16_t* dos_time) {
  const DayAndSecond split = SplitUnixSeconds(static_cast<int64_t>(file_time / kTicksPerSecond) -
                                              kSecondsFrom1601To1970);
  const int64_t second_of_day = split.second_of_day;
  const CivilDate date = CivilFromDays(split.days);
  if (date.year < 1980 || date.year > 2107) return false;
  const unsigned hour = static_cast<unsigned>(second_of_day / 3600);
  const unsigned minute = static_cast<unsigned>(second_of_day / 60 % 60);
  const unsigned second = static_cast<unsigned>(second_of_day % 60);
  *dos_date = static_cast<uint16_t>(((date.year - 1980) << 9) | (date.month << 5) | date.day);
  *dos_time = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
  return true;
}

uint64_t DosDateTimeToFileTime(uint16_t dos_date, uint16_t dos_time) {
  const int64_t year = 1980 + (dos_date >> 9);
  const unsigned month = (dos_date >> 5) & 0x0F;
  const unsigned day = dos_date & 0x1F;
  const unsigned hour = dos_time >> 11;
  const unsigned minute = (dos_time >> 5) & 0x3F;
  const unsigned second = (dos_time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return 0;
  }
  const int64_t unix_seconds =
      DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
  return static_cast<uint64_t>(unix_seconds + kSecondsFrom1601To1970) * kTicksPerSecond;
}

uint32_t DosStampFromFileTime(uint64_t file_time) {
  uint16_t date = 0;
  uint16_t time = 0;
  if (!FileTimeToDosDateTime(file_time, &date, &time)) return 0;
  return (static_cast<uint32_t>(date) << 16) | time;
}

uint64_t FileTimeFromStatx(const struct statx_timestamp& stamp) {
  struct timespec ts {};
  ts.tv_sec = static_cast<time_t>(stamp.tv_sec);
  ts.tv_nsec = static_cast<long>(stamp.tv_nsec);
  return FileTimeFromTimespec(ts);
}

FileTimes TimesFromStatx(const struct statx& info, FileRef file) {
  FileTimes times;
  times.last_access = FileTimeFromStatx(info.stx_atime);
  times.last_write = FileTimeFromStatx(info.stx_mtime);
  if ((info.stx_mask & STATX_BTIME) != 0 && info.stx_btime.tv_sec != 0) {
    times.creation = FileTimeFromStatx(info.stx_btime);
  } else {
    times.creation = KeptCreationTime(file, FileTimeFromStatx(info.stx_ctime));
  }
  return times;
}

uint64_t KeptCreationTime(FileRef file, uint64_t first_guess) {
  char text[32];
  auto [end, error] = std::to_chars(text, text + sizeof text, first_guess);
  (void)error;
  const size_t guess_length = static_cast<size_t>(end - text);
  for (int attempt = 0; attempt < 2; ++attempt) {
    char kept_text[32];
    const ssize_t length = ReadAttribute(file, kept_text, sizeof kept_text);
    uint64_t kept = 0;
    if (length > 0 && ParseTicks(kept_text, static_cast<size_t>(length), &kept)) return kept;
    if (length < 0 && errno != ENODATA) return first_guess;
    if (length >= 0) {
      // A damaged value is replaced, so that the time settles again.
      WriteAttribute(file, text, guess_length, 0);
      return first_guess;
    }
    if (WriteAttribute(file, text, guess_length, XATTR_CREATE) == 0) return first_guess;
    // Another process stored its guess first: take theirs, so that all agree.
    if (errno != EEXIST) return first_guess;
  }
  return first_guess;
}

}  // namespace qx::platform
