#pragma once
// The content search over the files of one directory tree.

#include <string>
#include <string_view>

namespace qx {

// Paths the search lists or opens are held to this many characters; a
// longer one is neither listed nor opened.
inline constexpr size_t kSearchPathLimit = 259;

struct SearchRequest {
  std::string_view directory;  // the start directory, a store path
  std::string_view pattern;    // see wildcard_match.h
  bool subfolders = false;     // also search directories below, except those named ".*"
  bool case_sensitive = false;
};

// The paths of the matching files relative to the start directory, joined
// by ',' in listing order, depth first ("a.txt,sub\b.txt"), with '\' between
// folder names. Empty when nothing matches or the directory does not exist.
// While full paths are confined (frame/store_roots.h) the start directory
// must be allowed, and entries that lead out of the store are skipped. The
// walk never enters a linked directory nor reads a linked file outside the
// start directory (platform/walk_guard.h), and never meets a FIFO, device
// or socket.
std::string FindMatchingFiles(const SearchRequest& request);

}  // namespace qx
