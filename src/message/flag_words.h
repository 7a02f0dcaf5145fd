#pragma once
// Flag word lists: words such as "\SEEN" or "\DELETED" separated by one
// blank, kept in FLAGSTATUS and in the "X-QXTempFlags:" header. Words are
// compared without regard to case.

#include <string>
#include <string_view>

namespace qx {

inline constexpr const char* kFlagSeen = "\\SEEN";
inline constexpr const char* kFlagAnswered = "\\ANSWERED";
inline constexpr const char* kFlagFlagged = "\\FLAGGED";
inline constexpr const char* kFlagDeleted = "\\DELETED";
inline constexpr const char* kFlagRecent = "\\RECENT";

// True when `word` occurs in `list` as a case-insensitive substring. The
// system has always tested flags this way (so "\SEEN" is found inside
// "\SEENX"); other processes count flags the same way, so keep it.
bool ListHasFlagWord(std::string_view list, std::string_view word);

// Puts a backslash in front of `word` unless it already holds one, and
// appends it to `list` (after one blank when the list is not empty) unless
// ListHasFlagWord finds it there already.
void AddFlagWord(std::string* list, std::string_view word);

}  // namespace qx
