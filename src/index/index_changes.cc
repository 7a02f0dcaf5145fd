#include "index/index_changes.h"

#include <algorithm>

namespace qx {

EntryChange& IndexChanges::ChangeOf(std::string_view id) {
  const auto [found, added] = positions_.try_emplace(std::string(id), changes_.size());
  if (added) changes_.emplace_back(std::string(id), EntryChange{});
  return changes_[found->second].second;
}

void IndexChanges::NoteInserted(std::string_view id) { ChangeOf(id).inserted = true; }

void IndexChanges::NoteRemoved(std::string_view id) {
  EntryChange& change = ChangeOf(id);
  if (change.inserted) {
    change.inserted = false;
  } else {
    change.removed_from_file = true;
  }
  change.children.clear();
}

void IndexChanges::NoteChildSet(std::string_view id, std::string_view child) {
  std::vector<std::string>& children = ChangeOf(id).children;
  if (std::find(children.begin(), children.end(), child) == children.end()) {
    children.emplace_back(child);
  }
}

void IndexChanges::Clear() {
  changes_.clear();
  positions_.clear();
}

}  // namespace qx
