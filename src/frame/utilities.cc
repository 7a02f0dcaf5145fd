#include "frame/utilities.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/diagnostics.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/listing.h"
#include "platform/mutex.h"
#include "platform/random_id.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

void CopyField(const char* begin, size_t length, char* out) {
  std::memcpy(out, begin, length);
  out[length] = '\0';
}

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

bool IsBlankOrLineEnd(char c) { return c == ' ' || c == '\r' || c == '\n'; }

constexpr size_t kTreePathLimit = 511;

bool JoinTreePath(const char* directory, const char* name, char (&out)[kTreePathLimit + 1]) {
  return FormatBounded(out, sizeof out, "%s\\%s", directory, name);
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
    CopyField(text, length, out);
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
  CopyField(field, length, out);
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

uint32_t ReplaceAllNoCase64K(char* buffer, const char* find, const char* replace) {
  constexpr size_t kWorkArea = 65536;
  if (buffer == nullptr || find == nullptr || replace == nullptr || find[0] == '\0') return 0;
  std::string source(buffer, strnlen(buffer, kWorkArea - 1));
  std::string work;
  size_t find_size = std::strlen(find);
  size_t start = 0;
  bool replaced = false;
  for (const char* at = FindNoCase(source.c_str(), find); at != nullptr;
       at = FindNoCase(source.c_str() + start, find)) {
    size_t position = static_cast<size_t>(at - source.c_str());
    AppendCut(work, std::string_view(source).substr(start, position - start), kWorkArea);
    AppendCut(work, replace, kWorkArea);
    start = position + find_size;
    replaced = true;
  }
  if (!replaced) return 0;
  AppendCut(work, std::string_view(source).substr(start), kWorkArea);
  std::memcpy(buffer, work.c_str(), work.size() + 1);
  return 1;
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
  CopyField(begin, length, copy);
  if (next != nullptr && stop != nullptr) *next = stop + std::strlen(end);
  return copy;
}

uint32_t FileExists(const char* pattern) {
  if (pattern == nullptr) return 0;
  platform::FindData found;
  return platform::FindFirst(pattern, &found) ? 1 : 0;
}

uint64_t GetFileLength(const char* path) {
  if (path == nullptr) return 0;
  int64_t size = platform::GetFileSize(path);
  return size < 0 ? 0 : static_cast<uint64_t>(size);
}

uint32_t TouchFile(const char* path) {
  if (path == nullptr) return 0;
  uint64_t now = platform::NowFileTime();
  platform::FileTimes times{now, now, now};
  return platform::SetFileTimes(path, times) ? 1 : 0;
}

uint32_t GetFileDosStamp(const char* path) {
  if (path == nullptr) return 0;
  platform::FileTimes times;
  platform::File file = platform::File::Open(path, platform::Access::kRead,
                                             platform::Disposition::kOpenExisting);
  if (file.valid() && file.GetTimes(&times)) return platform::DosStampFromFileTime(times.last_write);
  // A file held without sharing cannot be opened; its listing entry still
  // carries the time.
  platform::FindData found;
  if (platform::FindFirst(path, &found)) return platform::DosStampFromFileTime(found.last_write_time);
  return 0;
}

uint32_t WaitPumpingMessages(void* handle, uint32_t milliseconds) {
  if (handle == nullptr) return 0;
  platform::WaitResult result = platform::WaitForMutex(handle, milliseconds);
  return result == platform::WaitResult::kAcquired || result == platform::WaitResult::kAbandoned
             ? 1
             : 0;
}

uint32_t DeleteDirectoryTree(const char* directory, const char* pattern) {
  if (directory == nullptr) return 0;
  char listing_path[kTreePathLimit + 1];
  if (!JoinTreePath(directory, pattern == nullptr ? "*.*" : pattern, listing_path)) return 0;
  platform::Listing listing = platform::Listing::Open(listing_path);
  if (!listing.valid()) return 0;
  do {
    const platform::FindData& entry = listing.current();
    if (entry.name == "." || entry.name == "..") continue;
    char entry_path[kTreePathLimit + 1];
    if (!JoinTreePath(directory, entry.name.c_str(), entry_path)) return 0;
    if (entry.attributes & platform::kAttributeReadOnly) {
      platform::SetFileAttributes(entry_path, entry.attributes & ~platform::kAttributeReadOnly);
    }
    if (entry.attributes & platform::kAttributeDirectory) {
      DeleteDirectoryTree(entry_path, pattern);
    } else {
      platform::DeleteFile(entry_path);
    }
  } while (listing.Next());
  return platform::RemoveDirectory(directory) ? 1 : 0;
}

uint32_t NewMessageFileName(char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  return FormatBounded(out, size, "%s.MAI", platform::GuidText(platform::NewGuid()).c_str()) ? 1 : 0;
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
  if (out != nullptr && size > 0) CopyField(value, std::min(length, size - 1), out);
  return end + std::strlen(end_tag);
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
