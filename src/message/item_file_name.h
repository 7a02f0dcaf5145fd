#pragma once
// Item identifiers as file names: the one check made before a path is built
// from a name that a caller or an index entry gave.

#include <string_view>

namespace qx {

// True when `name` names a file inside the folder it is joined to: not
// empty, not "." or "..", and without '\', '/' or NUL.
bool IsPlainFileName(std::string_view name);

}  // namespace qx
