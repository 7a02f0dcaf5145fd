#pragma once
// The permission bits of every file and directory the store creates.
//
// A mail store is its owner's alone, so new files get 0600 and new
// directories 0700. Where the server's services run as several users of one
// group, "Store File Mode" and "Store Directory Mode" under the library's
// settings key widen them: octal text ("0660") or a DWORD
// (dword:000001b0), read when the library starts. The process's umask does
// not narrow them: a store shared with its group stays shared under
// umask 022.
//
// A value that would lock the store out of its own files is ignored and the
// default holds: a file mode must give the owner read and write and stay
// within 0777; a directory mode must give the owner read, write and search
// and stay within 07777 (setgid and sticky allowed).
//
// A rewrite through the durable replace keeps the bits its target had
// (durable_replace.h); these modes are for what did not exist before.

#include <cstdint>
#include <string>

namespace qx::platform {

inline constexpr uint32_t kDefaultStoreFileMode = 0600;
inline constexpr uint32_t kDefaultStoreDirectoryMode = 0700;

// One of the two settings as the registry holds it now.
struct StoreModeSetting {
  uint32_t mode = 0;           // what the store uses for it
  bool from_registry = false;  // the registry's value is set and usable
  std::string ignored;         // the registry's value, as text, when it was set but ignored
};

StoreModeSetting ReadStoreFileMode();
StoreModeSetting ReadStoreDirectoryMode();

// Reads both settings; the library's start calls it. Until then the
// defaults hold.
void LoadStoreModes();

// The modes loaded last.
uint32_t StoreFileMode();
uint32_t StoreDirectoryMode();

}  // namespace qx::platform
