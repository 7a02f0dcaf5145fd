#pragma once
// What an index object changed in its document since the document was read
// from the index file (or last written to it), entry by entry: entries it
// inserted, entries of the file it removed, and the children it set. A
// commit that finds the file written by another writer meanwhile applies
// these changes to the file as it is now (index_merge.h), so that neither
// writer's changes are lost.

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qx {

struct EntryChange {
  // The entry is this object's own: it was not in the file read.
  bool inserted = false;
  // An entry of this ID that the file read held was removed.
  bool removed_from_file = false;
  // Children set on the entry, in the order first set.
  std::vector<std::string> children;
};

class IndexChanges {
 public:
  void NoteInserted(std::string_view id);
  // Removing an entry this object inserted undoes the insertion; removing
  // one of the file's undoes the children set on it.
  void NoteRemoved(std::string_view id);
  void NoteChildSet(std::string_view id, std::string_view child);

  bool empty() const { return changes_.empty(); }
  void Clear();

  // The changes in the order their entries were first changed.
  const std::vector<std::pair<std::string, EntryChange>>& entries() const { return changes_; }

 private:
  EntryChange& ChangeOf(std::string_view id);

  std::vector<std::pair<std::string, EntryChange>> changes_;
  std::unordered_map<std::string, size_t> positions_;  // ID -> index into changes_
};

}  // namespace qx
