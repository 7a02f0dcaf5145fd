#pragma once
// Where a store path really leads. The layer maps store paths to the file
// system without regard to case (path_resolver.h), and a symbolic link on
// the way may lead anywhere; the store's confinement compares the places
// the paths lead to now, not their texts.

#include <optional>
#include <string>
#include <string_view>

namespace qx::platform {

// The absolute path `store_path` leads to now: existing components found as
// ResolvePath finds them (without regard to case), symbolic links followed,
// "." and ".." applied; components that do not exist yet are appended as
// spelled. Nullopt when that cannot be told safely: a ".." among the
// missing components, a dangling symbolic link (creating through it would
// create its target), a loop of links, or a directory the process may not
// look into. A relative path is taken from the current directory.
std::optional<std::string> RealPath(std::string_view store_path);

// True when `real_path` is `real_root` or lies below it, both as RealPath
// gives them: "/srv/mail2" is not below "/srv/mail".
bool IsSameOrBelowReal(std::string_view real_path, std::string_view real_root);

// True when the entry `store_path` names is itself a symbolic link
// (dangling or not).
bool IsSymbolicLink(std::string_view store_path);

// Removes the symbolic link `store_path` names, never what it points at.
// False with last error 5 when the entry is not a link, 2 or 3 when missing.
bool DeleteSymbolicLink(std::string_view store_path);

}  // namespace qx::platform
