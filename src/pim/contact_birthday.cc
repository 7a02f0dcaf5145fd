#include "pim/contact_birthday.h"

#include "message/date_text.h"

namespace qx {

namespace {

constexpr uint64_t kTicksPerSecond = 10000000ULL;

}  // namespace

std::optional<uint64_t> BirthdayFileTime(std::string_view stored) {
  if (stored.empty()) return kNoBirthdayFileTime;
  return FileTimeFromStoreDateText(stored);
}

std::string BirthdayText(uint64_t file_time) {
  if (file_time / kTicksPerSecond == kNoBirthdayFileTime / kTicksPerSecond) return {};
  return StoreDateTextFromSystemTime(SystemTimeFromFileTime(file_time).value_or(SystemTime{}));
}

}  // namespace qx
