#pragma once
// The registry, read from a .reg file (the registry editor's export format,
// "REGEDIT4" or "Windows Registry Editor Version 5.00") whose path is in
// QXSTORE_REGISTRY (default /etc/qxstore/registry.reg). One file holds both
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER. Names compare without regard to
// case. Each read sees the file as it is now: it is parsed again when its
// size or modification time changed. A missing file is an empty registry.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx::platform {

enum class RegistryRoot { kLocalMachine, kCurrentUser };

enum RegistryType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
  kRegQword = 11,
};

// A value as RegQueryValueEx returns it: string types carry their
// terminating NUL; a DWORD is 4 little-endian bytes, a QWORD 8.
struct RegistryValue {
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;

  bool operator==(const RegistryValue&) const = default;
};

// A line of the file that was skipped, for `storeadm config`.
struct RegistryWarning {
  int line = 0;  // 0 when the file as a whole could not be read
  std::string message;

  bool operator==(const RegistryWarning&) const = default;
};

// The key of the library's settings, below HKEY_LOCAL_MACHINE.
inline constexpr const char* kLibrarySettingsKey = "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera";

std::string RegistryFilePath();

// `key` is the path below the root, e.g. "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera".
bool RegistryKeyExists(RegistryRoot root, std::string_view key);
std::optional<RegistryValue> RegistryQuery(RegistryRoot root, std::string_view key,
                                           std::string_view value_name);
// The values directly under a key, in file order, and its direct subkeys.
std::vector<std::pair<std::string, RegistryValue>> RegistryValues(RegistryRoot root,
                                                                  std::string_view key);
std::vector<std::string> RegistrySubKeys(RegistryRoot root, std::string_view key);

// Lines skipped in the current file, in file order.
std::vector<RegistryWarning> RegistryWarnings();

// Parses .reg text (already read from a file) into the registry snapshot
// format; exposed for tests and fuzzing.
struct RegistrySnapshot;
std::vector<RegistryWarning> ParseRegistryText(std::string_view bytes, RegistrySnapshot* out);

}  // namespace qx::platform
