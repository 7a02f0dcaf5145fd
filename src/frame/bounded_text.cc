#include "frame/bounded_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace qx {

void CopyTerminated(const char* begin, size_t length, char* out) {
  std::memcpy(out, begin, length);
  out[length] = '\0';
}

char* CopyBounded(char* dst, const char* src, size_t size) {
  if (dst == nullptr || size == 0) return nullptr;
  if (src == nullptr) src = "";
  size_t length = std::strlen(src);
  if (length < size) {
    std::memcpy(dst, src, length + 1);
    return dst;
  }
  std::memcpy(dst, src, size - 1);
  dst[size - 1] = '\0';
  return nullptr;
}

char* AppendBounded(char* dst, const char* src, size_t size) {
  if (dst == nullptr || size == 0) return nullptr;
  size_t used = strnlen(dst, size);
  if (used == size) return nullptr;
  return CopyBounded(dst + used, src, size - used) == nullptr ? nullptr : dst;
}

bool FormatBounded(char* out, size_t size, const char* format, ...) {
  if (out == nullptr || size == 0) return false;
  va_list args;
  va_start(args, format);
  int written = std::vsnprintf(out, size, format, args);
  va_end(args);
  return written >= 0 && static_cast<size_t>(written) < size;
}

}  // namespace qx
