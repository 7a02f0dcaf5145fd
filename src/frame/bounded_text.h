#pragma once
// Copies, appends and formatting into fixed-size buffers that never overrun
// them, for the C-shaped interfaces whose buffer sizes the system fixed.

#include <cstddef>

namespace qx {

// Copy and append that never overrun size bytes: when src does not fit they
// keep what fits, terminate, and return null instead of dst.
char* CopyBounded(char* dst, const char* src, size_t size);
char* AppendBounded(char* dst, const char* src, size_t size);

// Copies the `length` bytes at begin and a NUL; out must hold length + 1.
void CopyTerminated(const char* begin, size_t length, char* out);

// snprintf that reports whether the result fit (bounded formatting).
bool FormatBounded(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace qx
