#include "platform/library_loader.h"

#include <dlfcn.h>

#include <atomic>

#include "platform/errors.h"
#include "platform/path_resolver.h"
#include "platform/program.h"
#include "platform/text_compare.h"

namespace qx::platform {

namespace {

constexpr uint32_t kErrorModuleNotFound = 126;
constexpr uint32_t kErrorProcedureNotFound = 127;

bool IsNativeName(std::string_view lower_name) {
  return lower_name.ends_with(".so") || lower_name.find(".so.") != std::string_view::npos;
}

// "QXAISO.DLL" -> "libqxaiso.so"; a name that is already a shared object's
// ("libfoo.so", "libfoo.so.1") is kept as given.
std::string SharedObjectFileName(std::string_view dll_file_name) {
  const std::string lower = LowerCased(dll_file_name);
  if (IsNativeName(lower)) return std::string(dll_file_name);
  std::string base = lower;
  if (base.ends_with(".dll")) base.resize(base.size() - 4);
  return "lib" + base + ".so";
}

std::atomic<const void*> g_store_module{nullptr};

std::string DirectoryPart(const std::string& path) {
  const size_t separator = path.rfind('/');
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

// The directory of the module that holds the store: the one SetStoreModule
// named, else the main program.
std::string StoreModuleDirectory() {
  const void* address = g_store_module.load(std::memory_order_acquire);
  if (address == nullptr) return DirectoryPart(ExecutablePath());
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  return DirectoryPart(info.dli_fname);
}

LibraryHandle OpenSharedObject(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

std::string SharedObjectPathFor(std::string_view dll_name) {
  const size_t separator = dll_name.find_last_of("\\/");
  if (separator == std::string_view::npos) return SharedObjectFileName(dll_name);
  const std::string file_name = SharedObjectFileName(dll_name.substr(separator + 1));
  std::string directory = separator == 0 ? "/" : ToNativePath(dll_name.substr(0, separator));
  if (directory.empty() || directory.back() != '/') directory += '/';
  return directory + file_name;
}

LibraryHandle LoadLibrary(std::string_view dll_name) {
  if (dll_name.empty()) {
    SetLastError(kErrorModuleNotFound);
    return nullptr;
  }
  const std::string path = SharedObjectPathFor(dll_name);
  LibraryHandle library = OpenSharedObject(path);
  // The server's sibling libraries are built beside libqxstore.so, so a plain
  // name the loader's search order does not find is looked for there too.
  if (library == nullptr && path.find('/') == std::string::npos) {
    const std::string own_directory = StoreModuleDirectory();
    if (!own_directory.empty()) library = OpenSharedObject(own_directory + "/" + path);
  }
  if (library == nullptr) SetLastError(kErrorModuleNotFound);
  return library;
}

void* GetProcAddress(LibraryHandle library, const char* symbol) {
  if (library == nullptr || symbol == nullptr) {
    SetLastError(kErrorInvalidHandle);
    return nullptr;
  }
  void* address = dlsym(library, symbol);
  if (address == nullptr) SetLastError(kErrorProcedureNotFound);
  return address;
}

void SetStoreModule(const void* address_in_module) {
  g_store_module.store(address_in_module, std::memory_order_release);
}

void FreeLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

}  // namespace qx::platform
