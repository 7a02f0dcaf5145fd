#pragma once
// The options file's text: finding and changing one option in it. Pure
// functions, so the file handling around them stays small.

#include <optional>
#include <string>
#include <string_view>

namespace qxaiso {

// The section that holds a scope's options for `name` ("Postoffice MAIN"),
// or nullopt for a scope this provider does not keep.
std::optional<std::string> SectionFor(int scope, std::string_view name);

// The value of `option` in `section` (names without regard to case), or
// nullopt when absent. The last assignment in the file wins.
std::optional<std::string> FindOption(std::string_view text, std::string_view section,
                                      std::string_view option);

// `text` with the option set to `value`: the last existing assignment is
// replaced (earlier ones dropped), or a line is added at the end of the
// section, or the section is added at the end of the file. An empty value
// removes the option's lines. Other lines are kept byte for byte.
std::string WithOption(std::string_view text, std::string_view section, std::string_view option,
                       std::string_view value);

}  // namespace qxaiso
