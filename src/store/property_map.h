#pragma once
// How a property name (PR_SUBJECT, PR_QX_FLAGSTATUS, PR_BODY, ...) reaches
// an item's value. Each folder type has a table that maps the name to an
// index field of the item's entry or to the item's file, with the type the
// caller gets and the form the value is stored in. Every table consults the
// common entries (QX_ITEM_ID, QX_ITEM_CLASS, QX_ITEM_MODIFIEDDATE) first;
// names are compared without regard to case.
//
// These tables are shared with the server's other programs through the
// types they report (StoreItemProperty_GetType): keep every row as it is,
// including the ones that look odd (PR_ICQ's field has '=' where its
// neighbours have '-', PR_FILE_TYPE is a number read from the text "file").

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qx {

// Value type codes: the type handed to callers (caller type) and the form a
// value is held in (stored type).
enum ValueType : uint32_t {
  kValuePlainText = 1,      // text as stored; a pointer into the item, not a copy
  kValueFileTime = 3,       // FILETIME, 8 bytes
  kValueBirthdayText = 4,   // date text "%Y-%m-%dT%H:%M:%S" (contact birthday form)
  kValueStoreDate = 6,      // store date text "%Y-%m-%dT%H:%M:%S"
  kValueInteger = 7,        // 32-bit signed integer
  kValueText = 8,           // allocated text, length + 1
  kValueDouble = 9,         // double, 8 bytes
  kValueBoolean = 10,       // 32-bit 0 or 1
  kValueSensitivity = 12,   // 32-bit: PUBLIC 0, PRIVATE 2, CONFIDENTIAL 3
  kValueNoteText = 14,      // allocated text (Unicode note form)
  kValueCalendarText = 15,  // allocated text (Unicode calendar form)
  kValueUtf16 = 16,         // allocated UTF-16LE text, its byte length + 2
};

// Where a value lives.
enum PropertySource : uint32_t {
  kSourceIndexField = 0,  // a child of the item's index entry
  kSourceContent = 1,     // the item's file: body, calendar part, file text
  kSourceFileTime = 2,    // a time of the item's file
  kSourceFileType = 3,    // the constant text "file"
};

// The field names with a meaning of their own.
inline constexpr std::string_view kIdField = "@ID";        // the entry's ID attribute
inline constexpr std::string_view kClassField = "!CLASS";  // the item's kind (folder type)

struct PropertyMapEntry {
  std::string_view property;
  // The index field; for content and file-time sources, which part or time.
  std::string_view field;
  // For structured contact fields the 1-based component of the vCard value;
  // otherwise 1 in the message and contact tables and 0 in the others.
  uint32_t component = 0;
  uint32_t caller_type = kValueText;
  uint32_t stored_type = kValueText;
  uint32_t source = kSourceIndexField;
};

using PropertyTable = std::span<const PropertyMapEntry>;

// The typed table of folder types 0 (messages), 1 (contacts), 2
// (appointments), 3 (tasks) and 4 (files); empty for any other type.
PropertyTable PropertyTableFor(uint32_t folder_type);

// The component the entries of that table carry when they are not
// structured: 1 for messages and contacts, 0 for the others.
uint32_t DefaultComponentFor(uint32_t folder_type);

// The entry for `name`: the common entries first (given the table's default
// component), then `table`. Nothing when neither knows the name.
std::optional<PropertyMapEntry> LookupProperty(PropertyTable table, uint32_t default_component,
                                               std::string_view name);
// The same with the typed table of `folder_type`.
std::optional<PropertyMapEntry> LookupProperty(uint32_t folder_type, std::string_view name);

// StoreItemProperty_GetType: the caller type from the table of folder types
// 0 to 4, 1 when that table does not know the name; for any other folder
// type the message, contact and appointment tables are tried in that order
// and 0 is returned when none knows it. Independent of any open folder.
uint32_t PropertyCallerType(std::string_view name, uint32_t folder_type);

}  // namespace qx
