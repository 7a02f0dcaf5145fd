#pragma once
// Searching, splitting and replacing in the NUL-terminated narrow strings the
// system's callers hand in. The C-shaped search is a wrapper over
// platform/text_compare.h, which code taking string_view uses directly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// First position of pattern in text without regard to case; -1 for a length
// means the string length. Null when not found, when the pattern is null or
// empty, or longer than the text.
const char* FindNoCase(const char* text, const char* pattern, int text_length = -1,
                       int pattern_length = -1);

// The n-th field (from 1) of text split by separator into out: with fewer
// separators than n - 1 the last field, without any separator field 1 only.
// 1 on success; 0 (and out empty) when the field does not fit in size bytes.
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
// On a string: up to `count` occurrences (below 1: all); with resume_at_replacement
// the search resumes at the replacement itself. Returns how many were replaced.
int ReplaceAll(std::string& text, std::string_view find, std::string_view replace, int count = 0,
               bool resume_at_replacement = false);

}  // namespace qx
