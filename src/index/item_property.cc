#include "index/item_property.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/store_index.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

constexpr const char* kPendingStatusText = "1";

uint32_t MessageCallerType(std::string_view property_name) {
  return EqualsNoCase(property_name, "PR_SENSITIVITY") ? kValueTypeInteger : kValueTypeText;
}

pugi::xml_node EntryForIndexWrite(StoreIndex* index, pugi::xml_node entry,
                                  std::string_view item_id) {
  if (entry) return entry;
  const XmlDocument document = HeldDocument(index);
  if (!document) return entry;
  if (pugi::xml_node found = FindItemElement(document, item_id)) return found;
  pugi::xml_node root = document.DocumentElement();
  if (item_id.empty() || !root) return entry;
  pugi::xml_node created = AppendElement(root, kEntryElement);
  SetAttribute(created, kIdAttribute, item_id);
  return created;
}

std::string TextFromCallerValue(uint32_t caller_type, const void* value) {
  if (caller_type == kValueTypeInteger) {
    int32_t number = 0;
    std::memcpy(&number, value, sizeof number);
    return std::to_string(number);
  }
  return static_cast<const char*>(value);
}

void* AllocateText(std::string_view text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void* AllocateInteger(std::string_view text) {
  auto* number = static_cast<int32_t*>(std::malloc(sizeof(int32_t)));
  if (number != nullptr) *number = static_cast<int32_t>(std::strtol(std::string(text).c_str(), nullptr, 10));
  return number;
}

uint32_t HandBack(void* allocated, uint32_t caller_type, void** value, uint32_t* type) {
  if (allocated == nullptr) return kPropertyNotFound;
  *value = allocated;
  if (type != nullptr) *type = caller_type;
  return kPropertyAllocated;
}

uint32_t GetContextProperty(const StoreItemView& item, std::string_view property_name,
                            void** value, uint32_t* type) {
  std::string_view text;
  if (EqualsNoCase(property_name, "QX_POSTOFFICE")) {
    text = item.postoffice;
  } else if (EqualsNoCase(property_name, "QX_MAILBOX")) {
    text = item.mailbox;
  } else if (EqualsNoCase(property_name, "QX_FOLDER")) {
    text = item.folder;
  } else if (EqualsNoCase(property_name, "QX_FOLDER_PATH")) {
    text = item.folder_directory;
  }
  if (text.empty()) return kPropertyNotFound;
  return HandBack(AllocateText(text), kValueTypeText, value, type);
}

}  // namespace

uint32_t SetEntryProperty(StoreIndex* index, pugi::xml_node* entry, std::string_view item_id,
                          const char* index_name, std::string_view text) {
  if (entry == nullptr || index_name == nullptr || index_name[0] == '\0') return 0;
  if (index != nullptr) *entry = EntryForIndexWrite(index, *entry, item_id);
  if (!*entry) return 0;
  if (!SetChildText(*entry, index_name, text)) return 0;
  if (index != nullptr) index->modified = 1;
  SetChildText(*entry, kPendingStatusElement, kPendingStatusText);
  return 1;
}

uint32_t SetItemPropertyItem(const StoreItemView& item, pugi::xml_node entry,
                             std::string_view property_name, const void* value) {
  if (value == nullptr || item.folder_type != 0) return 0;
  const char* index_name = IndexNameForMessageProperty(property_name);
  if (index_name == nullptr) return 0;
  pugi::xml_node target = entry ? entry : item.entry;
  const std::string text = TextFromCallerValue(MessageCallerType(property_name), value);
  return SetEntryProperty(nullptr, &target, {}, index_name, text);
}

uint32_t GetItemPropertyItem(const StoreItemView& item, std::string_view property_name,
                             void** value, uint32_t* type) {
  if (value == nullptr) return kPropertyNotFound;
  *value = nullptr;
  const char* index_name =
      item.folder_type == 0 ? IndexNameForMessageProperty(property_name) : nullptr;
  if (index_name == nullptr) return GetContextProperty(item, property_name, value, type);
  pugi::xml_node child = item.entry.child(index_name);
  if (!child) return kPropertyNotFound;
  const std::string text = GetElementText(child);
  const uint32_t caller_type = MessageCallerType(property_name);
  void* allocated =
      caller_type == kValueTypeInteger ? AllocateInteger(text) : AllocateText(text);
  return HandBack(allocated, caller_type, value, type);
}

}  // namespace qx
