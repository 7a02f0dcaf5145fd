#pragma once
// The parsed form of a .reg file, and the parser that builds it. The parser is
// as lenient as the registry editor: a line it cannot use is skipped with a
// warning and never fails the file.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace qx::platform {

struct RegistryKey {
  // Below the root, components joined by single '\', spelled as first written.
  std::string path;
  // In file order; a value set again keeps its place.
  std::vector<std::pair<std::string, RegistryValue>> values;
};

// The keys of one root, by their path folded to upper case (ASCII), so that a
// key and all its subkeys are one contiguous range.
using RegistryKeyMap = std::map<std::string, RegistryKey>;

struct RegistrySnapshot {
  RegistryKeyMap local_machine;
  RegistryKeyMap current_user;
  std::vector<RegistryWarning> warnings;

  RegistryKeyMap& keys(RegistryRoot root) {
    return root == RegistryRoot::kLocalMachine ? local_machine : current_user;
  }
  const RegistryKeyMap& keys(RegistryRoot root) const {
    return root == RegistryRoot::kLocalMachine ? local_machine : current_user;
  }
};

// Components split at '\', empty ones dropped: "A\\B\" becomes "A\B".
std::string NormaliseKeyPath(std::string_view path);

// Null when the key was not written itself (it may still exist as the parent
// of a written key; see RegistryKeyExistsIn).
const RegistryKey* FindRegistryKey(const RegistrySnapshot& snapshot, RegistryRoot root,
                                   std::string_view key);
// A key exists when it was written or one of its subkeys was (importing a key
// creates its parents). The root itself always exists.
bool RegistryKeyExistsIn(const RegistrySnapshot& snapshot, RegistryRoot root,
                         std::string_view key);
// Null when the key has no value of that name ("" is the default value).
const RegistryValue* FindRegistryValue(const RegistryKey& key, std::string_view name);
// The names of the direct subkeys, sorted without regard to case.
std::vector<std::string> RegistrySubKeyNames(const RegistrySnapshot& snapshot, RegistryRoot root,
                                             std::string_view key);

}  // namespace qx::platform
