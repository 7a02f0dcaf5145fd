#include "frame/option_provider.h"

#include <atomic>

#include "frame/sibling_library.h"
#include "frame/bounded_text.h"
#include "platform/library_loader.h"
#include "platform/mutex.h"

namespace qx {

namespace {

// Set once, when loading succeeds; never cleared (the library stays loaded).
std::atomic<const OptionProvider*> g_loaded{nullptr};
OptionProvider g_provider;

// Serialises loading, so two threads asking at once load the library once.
platform::MutexHandle LoaderMutex() {
  static platform::MutexHandle mutex = platform::CreateMutex();
  return mutex;
}

const OptionProvider* LoadFromApplicationDirectory() {
  std::string path = OptionProviderPath();
  if (path.empty() || !MayLoadSiblingLibrary(path)) return nullptr;
  platform::LibraryHandle library = platform::LoadLibrary(path);
  if (library == nullptr) return nullptr;
  OptionProvider entries;
  entries.get_option =
      reinterpret_cast<GetOptionEntry>(platform::GetProcAddress(library, "GetOption"));
  entries.get_option_ex =
      reinterpret_cast<GetOptionExEntry>(platform::GetProcAddress(library, "GetOption_Ex"));
  entries.set_option =
      reinterpret_cast<SetOptionEntry>(platform::GetProcAddress(library, "SetOption"));
  if (entries.get_option == nullptr || entries.set_option == nullptr) {
    platform::FreeLibrary(library);
    return nullptr;
  }
  g_provider = entries;
  return &g_provider;
}

}  // namespace

std::string OptionProviderPath() { return SiblingLibraryPath("QXAISO.DLL"); }

const OptionProvider* LoadOptionProvider() {
  if (const OptionProvider* loaded = g_loaded.load(std::memory_order_acquire)) return loaded;
  platform::MutexHandle mutex = LoaderMutex();
  bool locked = mutex != nullptr &&
                platform::WaitForMutex(mutex, platform::kInfinite) != platform::WaitResult::kFailed;
  const OptionProvider* loaded = g_loaded.load(std::memory_order_acquire);
  if (loaded == nullptr) {
    loaded = LoadFromApplicationDirectory();
    if (loaded != nullptr) g_loaded.store(loaded, std::memory_order_release);
  }
  if (locked) platform::ReleaseMutex(mutex);
  return loaded;
}

uint32_t GetPostofficeOption(const char* postoffice, const char* option, char* out,
                             size_t size) {
  if (out == nullptr || size == 0) return 0;
  out[0] = '\0';
  const OptionProvider* provider = LoadOptionProvider();
  if (provider == nullptr) return 0;
  char answer[kOptionValueSize] = {};
  int found = provider->get_option_ex != nullptr
                  ? provider->get_option_ex(kPostofficeScope, postoffice, option, answer,
                                            static_cast<int>(sizeof answer))
                  : provider->get_option(kPostofficeScope, postoffice, option, answer);
  if (found == 0) return 0;
  answer[sizeof answer - 1] = '\0';
  CopyBounded(out, answer, size);
  return 1;
}

}  // namespace qx
