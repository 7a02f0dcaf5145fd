#include "frame/text_tokens.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "frame/bounded_text.h"
#include "platform/diagnostics.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

// Appends what fits of piece to work, which holds at most capacity - 1
// characters.
void AppendCut(std::string& work, std::string_view piece, size_t capacity) {
  size_t room = capacity - 1 - std::min(work.size(), capacity - 1);
  work.append(piece.substr(0, room));
}

// Every occurrence of find in text replaced (case-sensitively), searching on
// after each replacement; work areas of `capacity` bytes cut what does not
// fit.
std::string ReplacedCut(std::string_view text, std::string_view find, std::string_view replace,
                        size_t capacity, size_t* replaced) {
  std::string work;
  size_t start = 0;
  *replaced = 0;
  for (size_t at = text.find(find); !find.empty() && at != std::string_view::npos;
       at = text.find(find, start)) {
    AppendCut(work, text.substr(start, at - start), capacity);
    AppendCut(work, replace, capacity);
    start = at + find.size();
    ++*replaced;
  }
  AppendCut(work, text.substr(start), capacity);
  return work;
}

}  // namespace

const char* FindNoCase(const char* text, const char* pattern, int text_length,
                       int pattern_length) {
  if (text == nullptr || pattern == nullptr) return nullptr;
  size_t text_size = text_length < 0 ? std::strlen(text) : static_cast<size_t>(text_length);
  size_t pattern_size =
      pattern_length < 0 ? std::strlen(pattern) : static_cast<size_t>(pattern_length);
  size_t at = platform::FindNoCaseIn({text, text_size}, {pattern, pattern_size});
  return at == std::string_view::npos ? nullptr : text + at;
}

uint32_t GetToken(const char* text, const char* separator, int n, char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  if (text == nullptr || n < 1) return 0;
  size_t separator_size = separator == nullptr ? 0 : std::strlen(separator);
  const char* first_separator = separator_size == 0 ? nullptr : std::strstr(text, separator);
  if (first_separator == nullptr) {
    if (n != 1) return 0;
    size_t length = std::strlen(text);
    if (length >= size) return 0;
    CopyTerminated(text, length, out);
    return 1;
  }
  // Walk to the n-th field; with fewer separators the last field is taken.
  const char* field = text;
  for (int index = 1; index < n; ++index) {
    const char* next = std::strstr(field, separator);
    if (next == nullptr) break;
    field = next + separator_size;
  }
  const char* end = std::strstr(field, separator);
  size_t length = end == nullptr ? std::strlen(field) : static_cast<size_t>(end - field);
  if (length >= size) return 0;
  CopyTerminated(field, length, out);
  return 1;
}

uint32_t CountTokens(const char* text, const char* separator) {
  if (text == nullptr || text[0] == '\0') return 0;
  size_t separator_size = separator == nullptr ? 0 : std::strlen(separator);
  uint32_t count = 1;
  if (separator_size == 0) return count;
  for (const char* at = std::strstr(text, separator); at != nullptr && count < 1000;
       at = std::strstr(at + separator_size, separator)) {
    ++count;
  }
  return count;
}

uint32_t RemoveWord(char* list, size_t size, const char* word) {
  if (list == nullptr || word == nullptr || size == 0) return 0;
  std::string_view text(list, strnlen(list, size));
  std::string kept;
  bool dropped = false;
  bool first = true;
  size_t start = 0;
  for (;;) {
    size_t blank = text.find(' ', start);
    std::string_view piece = text.substr(start, blank == std::string_view::npos
                                                    ? std::string_view::npos
                                                    : blank - start);
    if (platform::EqualsNoCase(piece, word)) {
      dropped = true;
    } else {
      if (!first) kept += ' ';
      kept += piece;
      first = false;
    }
    if (blank == std::string_view::npos) break;
    start = blank + 1;
  }
  if (!dropped) return 0;
  CopyBounded(list, kept.c_str(), size);
  return 1;
}

uint32_t ReplaceAll(char* buffer, int size, const char* find, const char* replace) {
  if (size < 0) {
    platform::DiagPrintf("Your an idiot\n");
    return 0;
  }
  if (buffer == nullptr || find == nullptr || replace == nullptr) return 0;
  size_t capacity = static_cast<size_t>(size);
  size_t length = strnlen(buffer, capacity);
  if (length == capacity) return 0;
  std::string_view text(buffer, length);
  std::string_view pattern(find);
  std::string result;
  size_t start = 0;
  for (size_t at = text.find(pattern); !pattern.empty() && at != std::string_view::npos;
       at = text.find(pattern, start)) {
    result.append(text.substr(start, at - start));
    result.append(replace);
    start = at + pattern.size();
  }
  result.append(text.substr(start));
  if (result.size() + 1 > capacity) return 0;
  std::memcpy(buffer, result.c_str(), result.size() + 1);
  return 1;
}

uint32_t ReplaceAll4096(const char* source, char* out, const char* find, const char* replace) {
  if (out == nullptr) return 0;
  out[0] = '\0';
  if (source == nullptr || find == nullptr || replace == nullptr) return 0;
  size_t replaced = 0;
  std::string work = ReplacedCut(source, find, replace, 4096, &replaced);
  CopyBounded(out, work.c_str(), 1024);
  return replaced > 0 ? 1 : 0;
}

int ReplaceAll(std::string& text, std::string_view find, std::string_view replace, int count,
               bool resume_at_replacement) {
  if (find.empty()) return 0;
  // Resuming inside a replacement that holds the text searched for would
  // replace for ever; such a replacement is stepped over instead.
  bool resume_inside = resume_at_replacement && replace.find(find) == std::string_view::npos;
  int replaced = 0;
  for (size_t at = text.find(find); at != std::string::npos && (count < 1 || replaced < count);
       at = text.find(find, at)) {
    text.replace(at, find.size(), replace);
    ++replaced;
    if (!resume_inside) at += replace.size();
  }
  return replaced;
}

}  // namespace qx
