#pragma once
// Folder lists: the cache through which folders are enumerated. A folder
// list maps folder directories to the child lists read from their
// _folder.xml, and is either made by a caller (CreateTLSFolderList) or one
// of the calling thread's own lists, one per directory enumerated, which the
// thread's release frees. A list is used by one thread at a time.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qx {

// The children of one folder directory as its _folder.xml listed them.
struct ChildList {
  // Name to name, in ascending byte order of the names.
  std::map<std::string, std::string> names;
  // DOS date (high half) and time of the _folder.xml read, and its exact
  // last-write time, which decides when the file is read again.
  uint32_t stamp = 0;
  uint64_t write_time = 0;
  // The name an enumeration handed out last; none before the first.
  std::optional<std::string> position;
};

class FolderList {
 public:
  // The child list of `directory` by the rebuild rule: a stale _folder.xml
  // (missing, or _folder.dty present) is rebuilt from the directory
  // (canonical_names at a mailbox's top folder) and the names written are
  // kept; a fresh one is read unless the cached list was read from the file
  // as it is now. Null when the list cannot be rebuilt (no such directory,
  // no room to write); an unreadable file gives an empty list.
  ChildList* Load(const std::string& directory, bool canonical_names);

  // The cached child list of `directory`, or null.
  ChildList* Find(const std::string& directory);

  // Drops every cached child list.
  void Clear();

  size_t cached_directories() const { return child_lists_.size(); }

 private:
  ChildList* Read(const std::string& directory);
  ChildList* Keep(const std::string& directory, const std::vector<std::string>& names);

  std::map<std::string, ChildList> child_lists_;
};

// The calling thread's own list for `directory`, made on first use. Null
// when the library's thread slots are not allocated.
FolderList* ThreadFolderList(const std::string& directory);

// The calling thread's list for `directory` when it has one, else null.
FolderList* ExistingThreadFolderList(const std::string& directory);

// Destroys the calling thread's list for `directory`, if any.
void ForgetThreadFolderList(const std::string& directory);

// How many directories the calling thread keeps lists for.
size_t ThreadFolderListCount();

}  // namespace qx
