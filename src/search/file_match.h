#pragma once
// Whether one file's contents match a search pattern.

#include <cstddef>
#include <string_view>

namespace qx {

// The size of the pieces a file is tested in. Text that crosses the border
// between two pieces is not seen as one, and callers' patterns rely on it.
inline constexpr size_t kSearchChunkSize = 1023;

// True when one piece of the file at `path` (a store path), read from the
// start in pieces of kSearchChunkSize bytes, matches `pattern` (see
// wildcard_match.h). A piece is tested as text: it ends at its first NUL
// byte. A file that cannot be opened, and an empty file, do not match; a
// read error ends the test with the pieces seen so far.
bool FileMatchesPattern(std::string_view path, std::string_view pattern, bool case_sensitive);

}  // namespace qx
