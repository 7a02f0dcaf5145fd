#pragma once
// Store-item property values as the item commands show and take them: by
// the property's caller type, dates as store date text (UTC), numbers as
// decimal, UTF-16 as UTF-8, texts as they are.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qx::storeadm {

// A property of the current item of a folder of `folder_type`, read
// through StoreItem_GetProperty.
struct ShownValue {
  bool found = false;
  std::string text;
  bool is_number = false;  // shown without quotes in JSON
};
ShownValue ReadShownProperty(const std::string& name, uint32_t folder_type);

// The bytes StoreItem_SetProperty takes for `text` in `caller_type`
// (numbers in binary, texts NUL-terminated). Nothing, with the reason in
// *reason, when the text is not such a value.
std::optional<std::string> ParseCallerValue(uint32_t caller_type, const std::string& text,
                                            std::string* reason);

// The folder type of a "--type" argument: 0 to 5; nothing for anything else.
std::optional<uint32_t> ParseFolderType(const char* text);

// The names of a "--props" list: its comma-separated parts, empty ones
// left out.
std::vector<std::string> SplitNames(const std::string& list);

}  // namespace qx::storeadm
