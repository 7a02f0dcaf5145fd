#pragma once
// Where the server's sibling libraries that the store loads by full name
// (the option provider QXAISO.DLL, the postoffice provider QXAIPO.DLL) are
// found: the 64-bit program directory beside the server's own, named by the
// "Application Directory" setting with "64" appended. The platform layer
// maps the name to the shared object (<dir>/libqxaiso.so).

#include <string>
#include <string_view>

namespace qx {

// "<Application Directory>64\<dll_name>", read from the registry now; empty
// when it does not fit in 1024 bytes.
std::string SiblingLibraryPath(const char* dll_name);

// True when `path` is absolute (it begins with '\' or '/'). With the
// setting missing or relative the path is relative too, and would be found
// from the current directory, where anyone may have left a library that a
// program run by root would then execute: such a library is never loaded,
// and one diagnostic line per path and process says so.
bool MayLoadSiblingLibrary(std::string_view path);

}  // namespace qx
