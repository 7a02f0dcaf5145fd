#pragma once
// Sibling libraries of the server. "QXAINFY.DLL" opens libqxainfy.so through
// the dynamic loader's search order; "<dir>\QXAISO.DLL" opens
// <dir>/libqxaiso.so.

#include <string>
#include <string_view>

namespace qx::platform {

using LibraryHandle = void*;

// The shared-object path for a library name of the original system.
std::string SharedObjectPathFor(std::string_view dll_name);

LibraryHandle LoadLibrary(std::string_view dll_name);  // null on failure
void* GetProcAddress(LibraryHandle library, const char* symbol);
void FreeLibrary(LibraryHandle library);

}  // namespace qx::platform
