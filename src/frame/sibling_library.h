#pragma once
// The server's sibling libraries that the store loads by full path: the
// option provider and the postoffice provider, from the "Application
// Directory" setting with "64" appended.

#include <string_view>

namespace qx {

// True when `path` is absolute (it begins with '\' or '/'). A relative path
// would be found from the current directory, where anyone may have left a
// library that a program run by root would then execute: such a library is
// never loaded, and one diagnostic line per path and process says so.
bool MayLoadSiblingLibrary(std::string_view path);

}  // namespace qx
