#pragma once
// The notifier library (QXAINFY.DLL, NotifyRemote) through which connected
// clients are told of folder changes. It is loaded once when the library
// starts; without it nobody is told.

#include <cstdint>

namespace qx {

// NotifyRemote of the notifier library: target server, target protocol and
// message text; 0 on success.
using NotifyRemoteFunction = int32_t (*)(const char* server, const char* protocol,
                                         const char* message);

// Loads the notifier when it is not loaded yet. A missing library is not an
// error: remote notification is then skipped.
void LoadNotifier();

// Forgets the entry and unloads the library.
void FreeNotifier();

// The notifier's entry, or null when the library or the entry is missing.
NotifyRemoteFunction NotifyRemoteEntry();

}  // namespace qx
