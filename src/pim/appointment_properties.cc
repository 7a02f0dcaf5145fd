#include "pim/appointment_properties.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "folder/folder_types.h"
#include "frame/number_text.h"
#include "index/index_entry.h"
#include "index/index_format.h"
#include "pim/vcalendar_text.h"
#include "platform/civil_date.h"
#include "platform/diagnostics.h"
#include "platform/file.h"
#include "store/item_content.h"
#include "store/item_properties.h"
#include "store/property_map.h"
#include "store/property_values.h"

namespace qx {

namespace {

constexpr int64_t kSecondsFrom1601To1970 = platform::kSecondsFrom1601To1970;
constexpr int64_t kTicksPerSecond = static_cast<int64_t>(platform::kTicksPerSecond);

bool IsUnixTimeAsFileTime(const PropertyMapEntry& property) {
  return property.stored_type == kValueStoreDate && property.caller_type == kValueFileTime;
}

std::optional<std::string> CallerBytes(const std::string& stored, const PropertyMapEntry& property) {
  if (IsUnixTimeAsFileTime(property)) {
    const int64_t seconds = LeadingInt32(stored);
    return FileTimeBytes(static_cast<uint64_t>((seconds + kSecondsFrom1601To1970) * kTicksPerSecond));
  }
  return CallerBytesFromStored(stored, property.caller_type);
}

PropertyRead Allocated(std::optional<std::string> bytes, uint32_t caller_type) {
  if (!bytes) return {};
  return PropertyRead::Allocated(AllocatedValue::Copy(*bytes), caller_type);
}

PropertyRead ReadIndexed(const ItemRef& item, const PropertyMapEntry& property) {
  std::string stored;
  if (property.field == kIdField) {
    const char* id = AttributeValue(item.entry, kIdAttribute);
    if (id == nullptr) return {};
    stored = id;
  } else if (property.field == kClassField) {
    stored = std::to_string(item.folder_type);
  } else {
    const pugi::xml_attribute attribute = item.entry.attribute(std::string(property.field).c_str());
    if (!attribute) return {};
    if (property.caller_type == kValuePlainText) {
      PropertyRead read;
      read.result = 1;
      read.in_item = attribute.value();
      read.caller_type = kValuePlainText;
      return read;
    }
    stored = attribute.value();
  }
  return Allocated(CallerBytes(stored, property), property.caller_type);
}

bool MessageFileExists(const ItemRef& item) {
  const std::optional<std::string> path = ItemFilePath(item);
  return path && platform::GetFileSize(*path) >= 0;
}

PropertyRead ReadFileOnly(const ItemRef& item, const PropertyMapEntry& property, std::string_view name) {
  std::optional<std::string> text;
  if (MessageFileExists(item)) {
    text = ReadMessageFileContent(item, property, name);
  } else if (const char* held = AttributeValue(item.entry, std::string(property.field).c_str())) {
    text = held;
  }
  if (!text) return {};
  if (property.caller_type == kValueCalendarText) *text = DecodeCalendarText(*text);
  return Allocated(CallerBytesFromStored(*text, property.caller_type), property.caller_type);
}

// The stored text of a caller's value; nothing for a null value, or a time
// that Unix seconds of 32 bits cannot hold (other programs read them so).
std::optional<std::string> StoredText(const void* value, const PropertyMapEntry& property) {
  if (value == nullptr) return std::nullopt;
  if (IsUnixTimeAsFileTime(property)) {
    FILETIME file_time;
    std::memcpy(&file_time, value, sizeof file_time);
    const uint64_t ticks = (static_cast<uint64_t>(file_time.dwHighDateTime) << 32) | file_time.dwLowDateTime;
    const int64_t seconds =
        static_cast<int64_t>(ticks / platform::kTicksPerSecond) - kSecondsFrom1601To1970;
    if (seconds >= INT32_MIN && seconds <= INT32_MAX) return std::to_string(seconds);
    platform::DiagPrintf("No Conversion Available");
    return std::nullopt;
  }
  return StoredTextFromCaller(value, property.caller_type);
}

PropertyWrite WriteIndexed(const ItemRef& item, const PropertyMapEntry& property, const std::string& text) {
  if (property.field == kIdField || property.field == kClassField) return PropertyWrite::kReadOnly;
  if (!SetAttribute(item.entry, std::string(property.field).c_str(), text)) return PropertyWrite::kFailed;
  MarkEntryPending(item.entry);
  if (item.index != nullptr) item.index->modified = 1;
  return PropertyWrite::kWritten;
}

PropertyWrite WriteFileOnly(const ItemRef& item, const PropertyMapEntry& property, const std::string& text) {
  if (MessageFileExists(item)) {
    return WriteMessageFileContent(item, property, text) ? PropertyWrite::kWritten : PropertyWrite::kFailed;
  }
  return WriteIndexed(item, property, text);
}

}  // namespace

PropertyRead Appointment_GetProperty(const ItemRef& item, std::string_view name) {
  const std::optional<PropertyMapEntry> property = LookupProperty(kFolderTypeCalendar, name);
  if (!property) {
    PropertyRead context = ReadContextProperty(item, name);
    if (context.result == 0) context.result = -1;
    return context;
  }
  if (!item.entry) return {};
  if (property->source == kSourceContent) return ReadFileOnly(item, *property, name);
  return ReadIndexed(item, *property);
}

PropertyWrite Appointment_SetProperty(const ItemRef& item, std::string_view name, const void* value) {
  const std::optional<PropertyMapEntry> property = LookupProperty(kFolderTypeCalendar, name);
  if (!property) return PropertyWrite::kUnknownProperty;
  if (!item.entry) return PropertyWrite::kNoItem;
  const std::optional<std::string> text = StoredText(value, *property);
  if (!text) return PropertyWrite::kBadValue;
  if (property->source == kSourceContent) return WriteFileOnly(item, *property, *text);
  return WriteIndexed(item, *property, *text);
}

}  // namespace qx
