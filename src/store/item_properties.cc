#include "store/item_properties.h"

#include <string>

#include "index/index_format.h"
#include "index/item_property.h"
#include "index/store_index.h"
#include "platform/text_compare.h"
#include "store/item_content.h"
#include "store/item_find.h"
#include "store/item_state.h"
#include "store/property_values.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

PropertyRead Allocated(std::optional<std::string> bytes, uint32_t caller_type) {
  if (!bytes) return {};
  return PropertyRead::Allocated(AllocatedValue::Copy(*bytes), caller_type);
}

bool IsTextType(uint32_t type) {
  return type == kValueText || type == kValueBirthdayText || type == kValueStoreDate ||
         type == kValueNoteText || type == kValueCalendarText;
}

// Table fields are string literals, so their views end in a NUL.
PropertyRead ReadIndexField(pugi::xml_node entry, uint32_t folder_type,
                            const PropertyMapEntry& property) {
  if (!entry) return {};
  // Only the special fields begin with '@' or '!'.
  const char first = property.field.front();
  if (first == '@' && property.field == kIdField) {
    const pugi::xml_attribute id = entry.attribute(kIdAttribute);
    if (!id) return {};
    return Allocated(CallerBytesFromStored(id.value(), property.caller_type), property.caller_type);
  }
  if (first == '!' && property.field == kClassField) {
    return Allocated(CallerBytesFromStored(std::to_string(folder_type), property.caller_type),
                     property.caller_type);
  }
  const pugi::xml_node field = entry.child(property.field.data());
  if (!field) return {};
  const char* text = field.first_child().value();
  if (property.caller_type == kValuePlainText) {
    PropertyRead read;
    read.result = 1;
    read.in_item = text;
    read.caller_type = kValuePlainText;
    return read;
  }
  // Most reads are text: copied once, straight into the caller's block.
  if (IsTextType(property.caller_type)) {
    return PropertyRead::Allocated(AllocatedValue::Text(text), property.caller_type);
  }
  return Allocated(CallerBytesFromStored(text, property.caller_type), property.caller_type);
}

std::optional<std::string> ReadContent(const ItemKind& kind, const ItemRef& item,
                                       const PropertyMapEntry& property, std::string_view name) {
  if (kind.read_content == nullptr || !item.entry) return std::nullopt;
  std::optional<std::string> text = kind.read_content(item, property, name);
  if (!text) return std::nullopt;
  return CallerBytesFromStored(*text, property.caller_type);
}

std::optional<std::string> ReadFileTime(const ItemRef& item, const PropertyMapEntry& property) {
  if (!item.entry) return std::nullopt;
  std::optional<uint64_t> file_time = ReadItemFileTime(item, property);
  if (!file_time) return std::nullopt;
  return CallerBytesFromFileTime(*file_time, property.stored_type);
}

PropertyWrite WriteIndexField(const ItemRef& item, const PropertyMapEntry& property,
                              const std::string& text) {
  if (property.field == kIdField || property.field == kClassField) return PropertyWrite::kReadOnly;
  if (!item.entry) return PropertyWrite::kNoItem;
  pugi::xml_node entry = item.entry;
  return SetEntryProperty(item.index, &entry, {}, property.field.data(), text) == 1
             ? PropertyWrite::kWritten
             : PropertyWrite::kFailed;
}

PropertyWrite WriteContent(const ItemKind& kind, const ItemRef& item,
                           const PropertyMapEntry& property, const std::string& text) {
  if (kind.write_content == nullptr) return PropertyWrite::kReadOnly;
  if (!item.entry) return PropertyWrite::kNoItem;
  return kind.write_content(item, property, text) ? PropertyWrite::kWritten : PropertyWrite::kFailed;
}

// The read of a name the kind's table maps to `property`.
PropertyRead ReadMappedProperty(const ItemKind& kind, const ItemRef& item,
                                const PropertyMapEntry* property, std::string_view name) {
  if (!property) return ReadContextProperty(item, name);
  switch (property->source) {
    case kSourceIndexField: return ReadIndexField(item.entry, item.folder_type, *property);
    case kSourceContent:
      return Allocated(ReadContent(kind, item, *property, name), property->caller_type);
    case kSourceFileTime: return Allocated(ReadFileTime(item, *property), property->caller_type);
    // The constant is read like any stored text: as a number it is 0.
    case kSourceFileType:
      return Allocated(CallerBytesFromStored("file", property->caller_type), property->caller_type);
    default: return {};
  }
}

}  // namespace

PropertyRead ReadItemProperty(const ItemKind& kind, const ItemRef& item, std::string_view name) {
  const std::optional<PropertyMapEntry> property =
      LookupProperty(kind.table, kind.default_component, name);
  return ReadMappedProperty(kind, item, property ? &*property : nullptr, name);
}

PropertyRead ReadContextProperty(const ItemRef& item, std::string_view name) {
  std::string_view text;
  if (EqualsNoCase(name, "QX_POSTOFFICE")) {
    text = item.postoffice;
  } else if (EqualsNoCase(name, "QX_MAILBOX")) {
    text = item.mailbox;
  } else if (EqualsNoCase(name, "QX_FOLDER")) {
    text = item.folder;
  } else if (EqualsNoCase(name, "QX_FOLDER_PATH")) {
    text = item.folder_directory;
  }
  if (text.empty()) return {};
  return PropertyRead::Allocated(AllocatedValue::Text(text), kValueText);
}

PropertyWrite WriteItemProperty(const ItemKind& kind, const ItemRef& item, std::string_view name,
                                const void* value) {
  const std::optional<PropertyMapEntry> property =
      LookupProperty(kind.table, kind.default_component, name);
  if (!property) return PropertyWrite::kUnknownProperty;
  if (property->source == kSourceFileTime || property->source == kSourceFileType) {
    return PropertyWrite::kReadOnly;
  }
  const std::optional<std::string> text = StoredTextFromCaller(value, property->caller_type);
  if (!text) return PropertyWrite::kBadValue;
  if (property->source == kSourceContent) return WriteContent(kind, item, *property, *text);
  return WriteIndexField(item, *property, *text);
}

PropertyRead GetRecordProperty(STOREINDEXTYPE& record, std::string_view name) {
  ItemState& state = ItemStateOf(record);
  if (record.folder_type == kFolderTypeICalendar) {
    return state.calendar ? state.calendar->GetProperty(name) : PropertyRead{};
  }
  const ItemKind* kind = ItemKindFor(static_cast<uint32_t>(record.folder_type));
  if (record.index == nullptr || kind == nullptr) return {};
  FillItemNames(record);
  // The name's entry is the record's own: looked up before the lock.
  const PropertyMapEntry* property =
      kind->get_property == nullptr ? LookupRecentProperty(state, *kind, name) : nullptr;
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  // Index fields, nearly every read, need the entry alone.
  if (property != nullptr && property->source == kSourceIndexField) {
    return ReadIndexField(record.current_item, static_cast<uint32_t>(record.folder_type), *property);
  }
  const ItemRef item = ItemRefOf(record);
  if (kind->get_property != nullptr) return kind->get_property(item, name);
  return ReadMappedProperty(*kind, item, property, name);
}

PropertyWrite SetRecordProperty(STOREINDEXTYPE& record, std::string_view item_id,
                                std::string_view name, const void* value) {
  const ItemKind* kind = ItemKindFor(static_cast<uint32_t>(record.folder_type));
  if (record.index == nullptr || kind == nullptr) return PropertyWrite::kNoItem;
  if (!item_id.empty() && CreateRecordItem(record, item_id) == 0) return PropertyWrite::kNoItem;
  FillItemNames(record);
  StoreIndexLock lock(record.index);
  RefreshItemHandles(record);
  const ItemRef item = ItemRefOf(record);
  return kind->set_property != nullptr ? kind->set_property(item, name, value)
                                       : WriteItemProperty(*kind, item, name, value);
}

}  // namespace qx
