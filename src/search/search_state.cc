#include "search/search_state.h"

#include <memory>

#include "search/file_search.h"

namespace qx {

bool SearchState::SetParameter(std::string_view name, std::string_view value) {
  if (name == "SearchString") {
    pattern_ = value;
  } else if (name == "Directory") {
    directory_ = value.substr(0, kSearchPathLimit);
  } else {
    return false;
  }
  return true;
}

bool SearchState::SetParameter(std::string_view name, uint32_t value) {
  if (name == "SearchSubFolders") {
    subfolders_ = value;
  } else if (name == "CaseSensitive") {
    case_sensitive_ = value;
  } else {
    return false;
  }
  return true;
}

void SearchState::FindAll() {
  results_ = FindMatchingFiles({.directory = directory_,
                                .pattern = pattern_,
                                .subfolders = subfolders_ != 0,
                                .case_sensitive = case_sensitive_ == 1});
  next_entry_ = 0;
  current_.reset();
}

bool SearchState::NextMatch() {
  current_.reset();
  if (!results_ || next_entry_ >= results_->size()) return false;
  size_t end = results_->find(',', next_entry_);
  if (end == std::string::npos) end = results_->size();
  current_ = results_->substr(next_entry_, end - next_entry_);
  next_entry_ = end + 1;
  return true;
}

SearchState* CallingThreadSearchState() {
  if (auto* state = dynamic_cast<SearchState*>(ThreadSearchState())) return state;
  auto state = std::make_unique<SearchState>();
  if (!SetThreadSearchState(state.get())) return nullptr;
  return state.release();
}

void ReleaseCallingThreadSearchState() { FreeThreadSearchState(); }

}  // namespace qx
