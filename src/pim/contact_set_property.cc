#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "index/index_entry.h"
#include "message/quoted_printable.h"
#include "pim/contact_birthday.h"
#include "pim/contact_file.h"
#include "pim/contact_properties.h"
#include "pim/contact_property_map.h"
#include "pim/vcard_rewrite.h"
#include "platform/text_compare.h"
#include "store/property_values.h"

namespace qx {

using platform::EqualsNoCase;
using platform::StartsWithNoCase;

namespace {

constexpr size_t kCurrentValueLimit = 1024;
constexpr size_t kFieldCountLimit = 1000;
constexpr size_t kFieldLimit = 1023;
constexpr size_t kNewValueLimit = 4095;
// The longest ID a save or rewrite builds a path from.
constexpr size_t kWriteIdLimit = 1023;

constexpr const char* kNoteKey = "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8";
constexpr const char* kPhotoKey = "PHOTO;TYPE=JPEG;ENCODING=BASE64";
constexpr std::string_view kEncodedWordStart = "=?UTF-8?Q?";
constexpr std::string_view kEncodedWordEnd = "?=";

std::vector<std::string_view> Fields(std::string_view text) {
  std::vector<std::string_view> fields;
  if (text.empty()) return fields;
  for (;;) {
    const size_t separator = text.find(';');
    if (separator == std::string_view::npos || fields.size() + 1 == kFieldCountLimit) {
      fields.push_back(text.substr(0, text.find(';')));
      return fields;
    }
    fields.push_back(text.substr(0, separator));
    text.remove_prefix(separator + 1);
  }
}

// The caller's value as the text the index keeps.
std::optional<std::string> NewIndexText(const PropertyMapEntry& property, const void* value) {
  if (property.caller_type == kValueFileTime) {
    uint64_t file_time = 0;
    std::memcpy(&file_time, value, sizeof file_time);
    return BirthdayText(file_time);
  }
  return StoredTextFromCaller(value, property.caller_type);
}

// A ';' would start another field and a line break another line of the
// card.
void MakeOneField(std::string* text) {
  for (char& c : *text) {
    if (c == ';') {
      c = '_';
    } else if (c == '\r' || c == '\n') {
      c = ' ';
    }
  }
}

std::string WithComponent(std::string_view current, uint32_t component, const std::string& field) {
  const std::vector<std::string_view> fields = Fields(current.substr(0, kCurrentValueLimit));
  const size_t count = std::max<size_t>(fields.size(), component);
  std::string joined;
  for (size_t i = 1; i <= count; ++i) {
    if (i > 1) joined += ';';
    if (i == component) {
      joined += field;
    } else if (i <= fields.size()) {
      joined += fields[i - 1].substr(0, kFieldLimit);
    }
  }
  if (joined.size() > kNewValueLimit) joined.resize(kNewValueLimit);
  return joined;
}

uint32_t SetIndexField(const ItemRef& item, const PropertyMapEntry& property, const void* value) {
  if (property.field == kIdField || property.field == kClassField) return 0;
  std::optional<std::string> text = NewIndexText(property, value);
  if (!text) return 0;
  MakeOneField(&*text);
  const std::string name(property.field);
  const std::string stored =
      WithComponent(item.entry.attribute(name.c_str()).value(), property.component, *text);
  if (!SetAttribute(item.entry, name.c_str(), stored)) return 0;
  MarkEntryPending(item.entry);
  if (item.index != nullptr) item.index->modified = 1;
  return 1;
}

// Quoted-printable text that may hold raw line breaks (a caller's own
// encoding) with those written as the bytes they stand for.
std::string OnOneLine(std::string_view encoded) {
  std::string text;
  for (const char c : encoded) {
    if (c == '\r') {
      text += "=0D";
    } else if (c == '\n') {
      text += "=0A";
    } else {
      text.push_back(c);
    }
  }
  return text;
}

std::string EncodedNote(std::string_view note) {
  if (!StartsWithNoCase(note, kEncodedWordStart)) return EncodeQuotedPrintable(note);
  std::string_view encoded = note.substr(kEncodedWordStart.size());
  while (!encoded.empty() && (encoded.front() == '\r' || encoded.front() == '\n' ||
                              encoded.front() == ' ')) {
    encoded.remove_prefix(1);
  }
  return OnOneLine(encoded.substr(0, encoded.find(kEncodedWordEnd)));
}

std::string WithoutWhiteSpace(std::string_view base64) {
  std::string text;
  text.reserve(base64.size());
  for (const char c : base64) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') text.push_back(c);
  }
  return text;
}

uint32_t SetFileProperty(const ItemRef& item, const PropertyMapEntry& property, const void* value) {
  const std::optional<std::string> path = ContactFilePath(item, kWriteIdLimit);
  if (!path) return 0;
  const std::string_view text = static_cast<const char*>(value);
  if (EqualsNoCase(property.property, "PR_NOTE")) {
    return Contact_RewriteFileLine(*path, kNoteKey, EncodedNote(text), LineMatch::kProperty);
  }
  if (EqualsNoCase(property.property, "PR_NOTE_UNICODE")) {
    return Contact_RewriteFileLine(*path, kNoteKey, OnOneLine(text), LineMatch::kProperty);
  }
  if (EqualsNoCase(property.property, "PR_ATTACHMENT_CONTACTPHOTO")) {
    return Contact_RewriteFileLine(*path, kPhotoKey, WithoutWhiteSpace(text), LineMatch::kProperty);
  }
  return 0;
}

}  // namespace

uint32_t Contact_SetProperty(const ItemRef& item, std::string_view name, const void* value) {
  if (!item.entry || value == nullptr) return 0;
  const std::optional<PropertyMapEntry> property = Contact_MapProperty(name);
  if (!property) return 0;
  return IsFileOnly(*property) ? SetFileProperty(item, *property, value)
                               : SetIndexField(item, *property, value);
}

}  // namespace qx
