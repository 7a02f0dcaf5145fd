#include <optional>
#include <string>

#include "index/index_format.h"
#include "pim/contact_birthday.h"
#include "pim/contact_file.h"
#include "pim/contact_properties.h"
#include "pim/contact_property_map.h"
#include "pim/vcard_file_property.h"
#include "platform/text_compare.h"
#include "store/property_values.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

// The longest ID a file-only read builds a path from.
constexpr size_t kReadIdLimit = 259;
// Fixed-size text types were read into 1024-byte buffers.
constexpr size_t kFixedTextLimit = 1023;

PropertyRead NotFound() {
  PropertyRead read;
  read.result = -1;
  return read;
}

bool IsFixedSizeText(uint32_t type) {
  return type == kValuePlainText || type == kValueBirthdayText || type == kValueStoreDate;
}

std::optional<std::string> IndexText(const ItemRef& item, const PropertyMapEntry& property) {
  if (property.field == kIdField) {
    const pugi::xml_attribute id = item.entry.attribute(kIdAttribute);
    if (!id) return std::nullopt;
    return std::string(id.value());
  }
  if (property.field == kClassField) return std::to_string(item.folder_type);
  const pugi::xml_attribute attribute = item.entry.attribute(std::string(property.field).c_str());
  if (!attribute) return std::nullopt;
  std::string text = attribute.value();
  if (IsFixedSizeText(property.stored_type) && text.size() > kFixedTextLimit) {
    text.resize(kFixedTextLimit);
  }
  return text;
}

std::optional<std::string> StoredText(const ItemRef& item, const PropertyMapEntry& property) {
  if (!IsFileOnly(property)) return IndexText(item, property);
  const std::optional<std::string> path = ContactFilePath(item, kReadIdLimit);
  if (!path) return std::nullopt;
  return Contact_ReadFileProperty(*path, property.field, property.caller_type);
}

// Field `component` (from 1) of the ';'-separated text; empty when the text
// has fewer fields.
std::string Component(std::string_view text, uint32_t component) {
  for (uint32_t field = 1; field < component; ++field) {
    const size_t separator = text.find(';');
    if (separator == std::string_view::npos) return {};
    text.remove_prefix(separator + 1);
  }
  return std::string(text.substr(0, text.find(';')));
}

bool IsStructuredText(const PropertyMapEntry& property) {
  return (property.stored_type == kValuePlainText || property.stored_type == kValueText) &&
         !EqualsNoCase(property.property, "PR_BNP_VCARD");
}

std::optional<std::string> CallerBytes(const std::string& stored, const PropertyMapEntry& property) {
  if (property.caller_type == kValueFileTime) {
    const std::optional<uint64_t> file_time = BirthdayFileTime(stored);
    if (!file_time) return std::nullopt;
    return FileTimeBytes(*file_time);
  }
  return CallerBytesFromStored(stored, property.caller_type);
}

}  // namespace

PropertyRead Contact_GetProperty(const ItemRef& item, std::string_view name) {
  if (!item.entry) return NotFound();
  const std::optional<PropertyMapEntry> property = Contact_MapProperty(name);
  if (!property) return NotFound();
  std::optional<std::string> stored = StoredText(item, *property);
  if (!stored) return NotFound();
  if (IsStructuredText(*property)) *stored = Component(*stored, property->component);
  if (property->caller_type == kValueText || property->caller_type == kValueNoteText) {
    return PropertyRead::Allocated(AllocatedValue::Text(*stored), property->caller_type);
  }
  const std::optional<std::string> bytes = CallerBytes(*stored, *property);
  if (!bytes) return NotFound();
  PropertyRead read = PropertyRead::Allocated(AllocatedValue::Copy(*bytes), property->caller_type);
  return read.result == 2 ? std::move(read) : NotFound();
}

}  // namespace qx
