// Arbitrary bytes as an iCalendar component through the property line
// reader: a key from the input and a few fixed ones (plain, with a
// parameter, with ':'), read raw, decoded as bytes and UTF-16, and as
// encoded words. Input: key\0text.
// Checks: a value not found is empty; the same answer whether the text is
// read at once or through a prepared component; a UTF-16 value has an even
// size; and a key absent from a text stays absent when an alarm holding it
// is appended (an alarm's lines are never the component's).

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "pim/ical_lines.h"

namespace {

constexpr std::string_view kFixedKeys[] = {"SUMMARY", "DTSTART", "DESCRIPTION", "FREEBUSY;FBTYPE=BUSY", "X:"};

bool IsPlainKey(std::string_view key) {
  if (key.empty() || key.size() > 32) return false;
  for (char c : key) {
    const bool name_char = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    if (!name_char) return false;
  }
  return true;
}

void CheckDecoded(std::string_view text, const qx::ICalComponent& component, std::string_view key, int mode,
                  bool wide) {
  std::string direct;
  std::string prepared;
  bool direct_wide = false;
  bool prepared_wide = false;
  const int result = qx::ICal_GetDecodedValue(text, key, &direct, true, mode, wide, &direct_wide);
  if (result < qx::kICalValueNotFound || result > qx::kICalValueWithParameters) __builtin_trap();
  if (qx::ICal_GetDecodedValue(component, key, &prepared, true, mode, wide, &prepared_wide) != result) {
    __builtin_trap();
  }
  if (direct != prepared || direct_wide != prepared_wide) __builtin_trap();
  if (direct_wide && direct.size() % 2 != 0) __builtin_trap();
}

void CheckKey(std::string_view text, const qx::ICalComponent& component, std::string_view key) {
  std::string raw = "stale";
  const int result = qx::ICal_GetValue(text, key, &raw);
  if (result == qx::kICalValueNotFound && !raw.empty()) __builtin_trap();
  std::string prepared;
  if (qx::ICal_GetValue(component, key, &prepared) != result || prepared != raw) __builtin_trap();
  CheckDecoded(text, component, key, qx::kICalDecodeBytes, true);
  CheckDecoded(text, component, key, qx::kICalDecodeEncodedWords, false);

  if (result == qx::kICalValueNotFound && IsPlainKey(key)) {
    const std::string with_alarm =
        std::string(text) + "\r\nBEGIN:VALARM\r\n" + std::string(key) + ":alarm\r\nEND:VALARM\r\n";
    std::string value;
    if (qx::ICal_GetValue(with_alarm, key, &value) != qx::kICalValueNotFound) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = qx::fuzz::SplitInput(qx::fuzz::AsText(data, size), 2);
  const std::string_view key = parts[0];
  const std::string_view text = parts[1];
  const qx::ICalComponent component(text);
  CheckKey(text, component, key);
  for (std::string_view fixed : kFixedKeys) CheckKey(text, component, fixed);
  return 0;
}
