#pragma once
// The small string and file helpers every part of the store leans on.
// They work on NUL-terminated narrow strings, as the system's callers do.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// First position of pattern in text without regard to case; -1 for
// a length means the string length. Null when not found, when the pattern is
// null or empty, or longer than the text.
const char* FindNoCase(const char* text, const char* pattern, int text_length = -1,
                       int pattern_length = -1);

// The n-th field (from 1) of text split by separator into out. See the
// original rules in utilities.cc. 1 on success, 0 otherwise.
uint32_t GetToken(const char* text, const char* separator, int n, char* out, size_t size);
// 0 for empty text, else 1 + separators, at most 1000.
uint32_t CountTokens(const char* text, const char* separator);
// Drops every blank-separated word equal to word (without regard to case).
uint32_t RemoveWord(char* list, size_t size, const char* word);

// Replaces every occurrence (case-sensitive) in a buffer of `size` bytes;
// when the result would not fit the buffer is unchanged and the result is 0.
uint32_t ReplaceAll(char* buffer, int size, const char* find, const char* replace);
// From source into a separate 1024-byte output, with a 4096-byte work area.
uint32_t ReplaceAll4096(const char* source, char* out, const char* find, const char* replace);
// In place, case-insensitive search, 64 KiB work areas; 1 if anything changed.
uint32_t ReplaceAllNoCase64K(char* buffer, const char* find, const char* replace);
// On a string: up to `count` occurrences (below 1: all); with resume_at_replacement
// the search resumes at the replacement itself. Returns how many were replaced.
int ReplaceAll(std::string& text, std::string_view find, std::string_view replace, int count = 0,
               bool resume_at_replacement = false);

// Copy and append that never overrun size bytes: when src does not fit they
// keep what fits, terminate, and return null instead of dst.
char* CopyBounded(char* dst, const char* src, size_t size);
char* AppendBounded(char* dst, const char* src, size_t size);

// Newly allocated (malloc) copy of the text after start up to end (or the
// end of text); skip_blanks skips CR, LF and blanks after start. *next is
// the position after end (or null). Null when start is not found.
char* ExtractBetween(const char* text, const char* start, const char* end, bool skip_blanks,
                     const char** next);

uint32_t FileExists(const char* pattern);
uint64_t GetFileLength(const char* path);
uint32_t TouchFile(const char* path);
uint32_t GetFileDosStamp(const char* path);
// Waits for a mutex handle (there are no window messages to pump here): 1
// when it was acquired within the time, 0 otherwise.
uint32_t WaitPumpingMessages(void* handle, uint32_t milliseconds);
uint32_t DeleteDirectoryTree(const char* directory, const char* pattern);
// 32 hexadecimal digits of a new GUID followed by ".MAI".
uint32_t NewMessageFileName(char* out, size_t size);

// The first start_tag in text ("" matches at the start); null when none.
// With an end tag (searched from one character after the start tag begins):
// null with out untouched when it is missing, else the text between the two
// tags (cut to size - 1 bytes) in out and the position just after the end
// tag. Without one: the text from the start tag on in out (bounded by size)
// and null.
const char* GetXMLData(const char* text, const char* start_tag, const char* end_tag, char* out,
                       size_t size);

// snprintf that reports whether the result fit (bounded formatting).
bool FormatBounded(char* out, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace qx
