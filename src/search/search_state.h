#pragma once
// A thread's content search: its parameters, the list of matching files
// from its last run, and the position of its walk through that list. Each
// thread has its own, kept in the frame's search slot.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "frame/thread_state.h"

namespace qx {

class SearchState : public ThreadOwned {
 public:
  // "SearchString" sets the pattern, "Directory" the start directory (cut to
  // kSearchPathLimit characters). False for any other name, which changes
  // nothing. Names are compared exactly.
  bool SetParameter(std::string_view name, std::string_view value);
  // "SearchSubFolders" (non-zero searches below the start directory) and
  // "CaseSensitive" (exactly 1 compares with case). False for any other name.
  bool SetParameter(std::string_view name, uint32_t value);

  // Runs the search and replaces the list; the walk starts again before its
  // first entry and there is no current match.
  void FindAll();
  // Moves to the next entry of the list: true and that entry becomes the
  // current match, or false at the end (no current match).
  bool NextMatch();

  // The current match, or null. Owned by the state and valid until its next
  // FindAll or NextMatch.
  const std::string* CurrentMatch() const { return current_ ? &*current_ : nullptr; }
  // The whole list ("a.txt,sub\b.txt"), or null before the first search.
  // Valid until the next FindAll.
  const std::string* MatchList() const { return results_ ? &*results_ : nullptr; }

 private:
  std::string pattern_;
  std::string directory_;
  uint32_t subfolders_ = 0;
  uint32_t case_sensitive_ = 0;
  std::optional<std::string> results_;
  size_t next_entry_ = 0;  // offset in *results_ of the entry NextMatch gives
  std::optional<std::string> current_;
};

// The calling thread's search state, created on first use. Null when the
// library's search slot is not allocated.
SearchState* CallingThreadSearchState();
// Frees the calling thread's search state (if any) and clears its slot.
void ReleaseCallingThreadSearchState();

}  // namespace qx
