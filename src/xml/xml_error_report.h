#pragma once
// The error block the XML document service prints when the document layer
// reports an error: "Error:\n", "Code = %08lx\n", "Code meaning = %s\n", then
// "Source = %s\n" and "Error Description = %s\n" when present.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// An error code for a platform error number, as the DOM reported file
// errors (0x8007xxxx).
uint32_t ErrorCodeFromSystemError(uint32_t system_error);

// The system's text for a code, without a trailing line end; for unknown
// codes "Unknown error 0x%0lX".
std::string ErrorCodeMeaning(uint32_t code);

// Prints the block through the diagnostics sink. Empty `source` and
// `description` are left out.
void PrintXmlErrorBlock(uint32_t code, std::string_view source, std::string_view description);

}  // namespace qx
