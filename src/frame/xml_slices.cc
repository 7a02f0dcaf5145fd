#include "frame/xml_slices.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "frame/bounded_text.h"

namespace qx {

namespace {

bool IsBlankOrLineEnd(char c) { return c == ' ' || c == '\r' || c == '\n'; }

}  // namespace

char* ExtractBetween(const char* text, const char* start, const char* end, bool skip_blanks,
                     const char** next) {
  if (next != nullptr) *next = nullptr;
  if (text == nullptr || start == nullptr) return nullptr;
  const char* found = std::strstr(text, start);
  if (found == nullptr) return nullptr;
  const char* begin = found + std::strlen(start);
  if (skip_blanks) {
    while (IsBlankOrLineEnd(*begin)) ++begin;
  }
  const char* stop = end == nullptr || end[0] == '\0' ? nullptr : std::strstr(begin, end);
  size_t length = stop == nullptr ? std::strlen(begin) : static_cast<size_t>(stop - begin);
  auto* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return nullptr;
  CopyTerminated(begin, length, copy);
  if (next != nullptr && stop != nullptr) *next = stop + std::strlen(end);
  return copy;
}

const char* GetXMLData(const char* text, const char* start_tag, const char* end_tag, char* out,
                       size_t size) {
  if (text == nullptr) return nullptr;
  if (start_tag == nullptr) start_tag = "";
  const char* found = std::strstr(text, start_tag);
  if (found == nullptr) return nullptr;
  if (end_tag == nullptr) {
    CopyBounded(out, found, size);
    return nullptr;
  }
  const char* end = std::strstr(found + (found[0] == '\0' ? 0 : 1), end_tag);
  if (end == nullptr) return nullptr;
  const char* value = found + std::strlen(start_tag);
  // An end tag found inside the start tag itself gives an empty value.
  size_t length = end > value ? static_cast<size_t>(end - value) : 0;
  if (out != nullptr && size > 0) CopyTerminated(value, std::min(length, size - 1), out);
  return end + std::strlen(end_tag);
}

}  // namespace qx
