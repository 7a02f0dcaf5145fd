#include "folder/notifier_library.h"

#include <atomic>

#include "platform/library_loader.h"

namespace qx {

namespace {

std::atomic<platform::LibraryHandle> g_notifier_library{nullptr};
std::atomic<NotifyRemoteFunction> g_notify_remote{nullptr};

}  // namespace

void LoadNotifier() {
  if (g_notifier_library.load() != nullptr) return;
  platform::LibraryHandle library = platform::LoadLibrary("QXAINFY.DLL");
  if (library == nullptr) return;
  g_notifier_library.store(library);
  g_notify_remote.store(
      reinterpret_cast<NotifyRemoteFunction>(platform::GetProcAddress(library, "NotifyRemote")));
}

void FreeNotifier() {
  g_notify_remote.store(nullptr);
  platform::LibraryHandle library = g_notifier_library.exchange(nullptr);
  if (library != nullptr) platform::FreeLibrary(library);
}

NotifyRemoteFunction NotifyRemoteEntry() { return g_notify_remote.load(); }

}  // namespace qx
