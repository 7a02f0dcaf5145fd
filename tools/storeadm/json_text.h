#pragma once
// Text for the --json output of storeadm commands.

#include <string>

namespace qx::storeadm {

// `text` as a JSON string literal, quotes included; control bytes become \u escapes.
std::string JsonString(const std::string& text);

}  // namespace qx::storeadm
