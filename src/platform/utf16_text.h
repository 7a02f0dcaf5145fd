#pragma once
// Conversions between the store's narrow text (UTF-8, the "ANSI code page"
// here) and UTF-16LE, the wide text of registry files and of the values
// callers ask for in Unicode form.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

// UTF-16LE bytes to UTF-8. A trailing odd byte is dropped; a surrogate
// without its partner becomes U+FFFD.
std::string Utf16LeToUtf8(const uint8_t* data, size_t size);

// UTF-8 to UTF-16LE bytes (no terminator). Each byte that does not start or
// continue a valid UTF-8 sequence (overlong forms and surrogates included)
// becomes U+FFFD, so any narrow text converts.
std::string Utf8ToUtf16Le(std::string_view text);

}  // namespace qx::platform
