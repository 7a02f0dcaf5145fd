#pragma once
// Sibling libraries of the server. "QXAINFY.DLL" opens libqxainfy.so through
// the dynamic loader's search order; "<dir>\QXAISO.DLL" opens
// <dir>/libqxaiso.so.

#include <string>
#include <string_view>

namespace qx::platform {

using LibraryHandle = void*;

// The shared-object path for a library name of the original system: the
// base name lower-cased, ".DLL" dropped, "lib" before and ".so" after; the
// directory of a path (separated by '\' or '/') resolved as store paths are.
// A name already ending in ".so" (or ".so.N") is kept.
std::string SharedObjectPathFor(std::string_view dll_name);

// Null on failure (last error 126). A plain name is searched in the dynamic
// loader's order (LD_LIBRARY_PATH, rpath, the system directories) and then in
// the directory of the module holding the store (see SetStoreModule), where
// the sibling libraries are built.
LibraryHandle LoadLibrary(std::string_view dll_name);

// Names the module that holds the store (libqxstore.so, or the program that
// links it statically) by an address inside it; the store calls this as it
// starts. Until then the main program counts as that module.
void SetStoreModule(const void* address_in_module);
// Null when the library has no such symbol (last error 127).
void* GetProcAddress(LibraryHandle library, const char* symbol);

// Sets `*function` to the library's `name`, cast to its type; false when the
// library has none (last error 127).
template <typename Function>
bool BindSymbol(LibraryHandle library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(GetProcAddress(library, name));
  return *function != nullptr;
}
void FreeLibrary(LibraryHandle library);

}  // namespace qx::platform
