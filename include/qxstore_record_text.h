#pragma once
// Text fields of the caller records of qxstore.h (char arrays of a fixed
// size), for the C++ code of the library, its tools, plugins and tests. Not
// part of the C interface.
//
// Records come from callers and from the wire, so a field is read only up to
// its size even when the terminating NUL is missing, and written cut to its
// size less one, always with a NUL.

#include <cstddef>
#include <string>
#include <string_view>

namespace qx {

// The field's text: up to its first NUL, or all N bytes when there is none.
template <size_t N>
constexpr std::string_view RecordField(const char (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != '\0') ++length;
  return std::string_view(field, length);
}

// RecordField as a string of its own.
template <size_t N>
std::string RecordText(const char (&field)[N]) {
  return std::string(RecordField(field));
}

// Copies at most N - 1 bytes of `text` and a NUL; the bytes after the NUL
// are left as they were.
template <size_t N>
void SetRecordText(char (&field)[N], std::string_view text) {
  const size_t length = text.copy(field, N - 1);
  field[length] = '\0';
}

}  // namespace qx
