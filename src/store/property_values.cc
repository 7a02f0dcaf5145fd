#include "store/property_values.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "message/date_text.h"
#include "platform/text_compare.h"
#include "platform/utf16_text.h"
#include "store/property_map.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

template <typename T>
std::string BytesOf(T value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

template <typename T>
T ValueAt(const void* value) {
  T read;
  std::memcpy(&read, value, sizeof read);
  return read;
}

std::string TextBytes(std::string_view text) {
  std::string bytes(text);
  bytes.push_back('\0');
  return bytes;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int32_t DecimalReading(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && IsCSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  int64_t magnitude = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[at] - '0'), kLimit);
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  return static_cast<int32_t>(std::min<int64_t>(magnitude, kLimit - 1));
}

double FloatingReading(std::string_view text) { return std::strtod(std::string(text).c_str(), nullptr); }

int32_t BooleanReading(std::string_view text) { return EqualsNoCase(text, "TRUE") || text == "1" ? 1 : 0; }

int32_t SensitivityReading(std::string_view text) {
  if (EqualsNoCase(text, "PRIVATE")) return 2;
  if (EqualsNoCase(text, "CONFIDENTIAL")) return 3;
  return 0;
}

const char* SensitivityText(int32_t value) {
  if (value == 2) return "PRIVATE";
  if (value == 3) return "CONFIDENTIAL";
  return "PUBLIC";
}

std::string Utf16Text(const void* value) {
  const auto* bytes = static_cast<const uint8_t*>(value);
  size_t length = 0;
  while (bytes[length] != 0 || bytes[length + 1] != 0) length += 2;
  return platform::Utf16LeToUtf8(bytes, length);
}

}  // namespace

std::optional<std::string> CallerBytesFromStored(std::string_view stored, uint32_t caller_type) {
  switch (caller_type) {
    case kValueInteger: return BytesOf(DecimalReading(stored));
    case kValueDouble: return BytesOf(FloatingReading(stored));
    case kValueBoolean: return BytesOf(BooleanReading(stored));
    case kValueSensitivity: return BytesOf(SensitivityReading(stored));
    case kValueFileTime: {
      std::optional<uint64_t> file_time = FileTimeFromStoreDateText(stored);
      if (!file_time) return std::nullopt;
      return FileTimeBytes(*file_time);
    }
    case kValueUtf16: return platform::Utf8ToUtf16Le(stored) + std::string(2, '\0');
    case kValuePlainText:
    case kValueBirthdayText:
    case kValueStoreDate:
    case kValueText:
    case kValueNoteText:
    case kValueCalendarText: return TextBytes(stored);
    default: return std::nullopt;
  }
}

std::optional<std::string> StoredTextFromCaller(const void* value, uint32_t caller_type) {
  if (value == nullptr) return std::nullopt;
  switch (caller_type) {
    case kValueInteger: return std::to_string(ValueAt<int32_t>(value));
    case kValueDouble: {
      char text[512];
      std::snprintf(text, sizeof text, "%10.2f", ValueAt<double>(value));
      return std::string(text);
    }
    case kValueBoolean: return std::string(ValueAt<int32_t>(value) != 0 ? "1" : "0");
    case kValueSensitivity: return std::string(SensitivityText(ValueAt<int32_t>(value)));
    case kValueFileTime: return StoreDateTextFromFileTime(ValueAt<uint64_t>(value));
    case kValueUtf16: return Utf16Text(value);
    case kValuePlainText:
    case kValueBirthdayText:
    case kValueStoreDate:
    case kValueText:
    case kValueNoteText:
    case kValueCalendarText: return std::string(static_cast<const char*>(value));
    default: return std::nullopt;
  }
}

std::optional<std::string> CallerBytesFromFileTime(uint64_t file_time, uint32_t stored_type) {
  if (stored_type == kValueFileTime) return FileTimeBytes(file_time);
  std::optional<std::string> text = StoreDateTextFromFileTime(file_time);
  if (!text) return std::nullopt;
  return CallerBytesFromStored(*text, kValueFileTime);
}

std::string NumberBytes(int32_t value) { return BytesOf(value); }

std::string FileTimeBytes(uint64_t file_time) { return BytesOf(file_time); }

}  // namespace qx
