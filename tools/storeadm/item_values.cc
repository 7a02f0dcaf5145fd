#include "item_values.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "message/date_text.h"
#include "platform/text_compare.h"
#include "platform/utf16_text.h"
#include "qxstore.h"
#include "store/property_map.h"

namespace qx::storeadm {

using platform::EqualsNoCase;

namespace {

template <typename T>
T ValueAt(const void* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

template <typename T>
std::string BytesOf(T value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

ShownValue Number(long long value) { return {true, std::to_string(value), true}; }

ShownValue Shown(uint32_t type, const void* value, uint32_t size) {
  switch (type) {
    case kValueInteger:
    case kValueBoolean:
    case kValueSensitivity:
      return size == 4 ? Number(ValueAt<int32_t>(value)) : ShownValue{};
    case kValueDouble: {
      if (size != 8) return {};
      char text[64];
      std::snprintf(text, sizeof text, "%.15g", ValueAt<double>(value));
      return {true, text, true};
    }
    case kValueFileTime: {
      if (size != 8) return {};
      return {true, StoreDateTextFromFileTime(ValueAt<uint64_t>(value)).value_or(""), false};
    }
    case kValueUtf16:
      return {true, platform::Utf16LeToUtf8(static_cast<const uint8_t*>(value), size >= 2 ? size - 2 : 0),
              false};
    default: return {true, std::string(static_cast<const char*>(value), size > 0 ? size - 1 : 0), false};
  }
}

std::optional<long long> WholeNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return value;
}

}  // namespace

ShownValue ReadShownProperty(const std::string& name, uint32_t folder_type) {
  void* value = nullptr;
  uint32_t size = 0;
  const int32_t result = StoreItem_GetProperty(name.c_str(), &value, &size);
  if (result != 1 && result != 2) return {};
  // A name the folder type's table does not know (a context property) is
  // text, as is a value pointing into the item.
  uint32_t type = StoreItemProperty_GetType(name.c_str(), folder_type);
  if (result == 1 || type == 0) type = kValuePlainText;
  ShownValue shown = Shown(type, value, size);
  if (result == 2) StoreItem_FreeProperty(value);
  return shown;
}

std::optional<std::string> ParseCallerValue(uint32_t caller_type, const std::string& text,
                                            std::string* reason) {
  switch (caller_type) {
    case kValueInteger: {
      std::optional<long long> number = WholeNumber(text);
      if (!number) break;
      return BytesOf(static_cast<int32_t>(*number));
    }
    case kValueBoolean: {
      if (EqualsNoCase(text, "true") || text == "1") return BytesOf(int32_t{1});
      if (EqualsNoCase(text, "false") || text == "0") return BytesOf(int32_t{0});
      break;
    }
    case kValueSensitivity: {
      for (const auto& [word, number] : {std::pair{"PUBLIC", 0}, {"PRIVATE", 2}, {"CONFIDENTIAL", 3}}) {
        if (EqualsNoCase(text, word)) return BytesOf(int32_t{number});
      }
      if (std::optional<long long> number = WholeNumber(text)) return BytesOf(static_cast<int32_t>(*number));
      break;
    }
    case kValueDouble: {
      char* end = nullptr;
      const double value = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0') break;
      return BytesOf(value);
    }
    case kValueFileTime: {
      if (std::optional<uint64_t> file_time = FileTimeFromStoreDateText(text)) return BytesOf(*file_time);
      *reason = "expected a date as YYYY-MM-DDTHH:MM:SS (UTC)";
      return std::nullopt;
    }
    case kValueUtf16: return platform::Utf8ToUtf16Le(text) + std::string(2, '\0');
    default: return text + '\0';
  }
  *reason = caller_type == kValueDouble ? "expected a number" : "expected a whole number";
  if (caller_type == kValueBoolean) *reason = "expected true, false, 1 or 0";
  if (caller_type == kValueSensitivity) *reason = "expected PUBLIC, PRIVATE, CONFIDENTIAL or a number";
  return std::nullopt;
}

std::optional<uint32_t> ParseFolderType(const char* text) {
  if (text == nullptr || text[0] < '0' || text[0] > '5' || text[1] != '\0') return std::nullopt;
  return static_cast<uint32_t>(text[0] - '0');
}

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(',', start);
    const size_t end = comma == std::string::npos ? list.size() : comma;
    if (end > start) names.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace qx::storeadm
