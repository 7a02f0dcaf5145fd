#pragma once
// Text fields of the fixed-size caller records. Records come from callers
// and from the wire, so a field is read only up to its size even when the
// terminating NUL is missing, and written cut to its size less one.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace qx {

template <size_t N>
std::string RecordText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// Copies at most N - 1 bytes of `text` and a NUL; the bytes after it are
// left as they were.
template <size_t N>
void SetRecordText(char (&field)[N], std::string_view text) {
  size_t length = text.size() < N ? text.size() : N - 1;
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace qx
