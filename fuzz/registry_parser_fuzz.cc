// Feeds arbitrary bytes to the .reg parser and queries what it built. The
// parser must never crash, hang or read out of bounds, whatever the file.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/registry_parser.h"
#include "platform/text_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qx::platform;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  RegistrySnapshot snapshot;
  ParseRegistryText(bytes, &snapshot);
  for (RegistryRoot root : {RegistryRoot::kLocalMachine, RegistryRoot::kCurrentUser}) {
    for (const auto& [folded, key] : snapshot.keys(root)) {
      if (UpperCased(key.path) != folded) __builtin_trap();
      if (!RegistryKeyExistsIn(snapshot, root, key.path)) __builtin_trap();
      for (const auto& [name, value] : key.values) {
        // Names are unique without regard to case: later lines replace.
        if (FindRegistryValue(key, name) != &value) __builtin_trap();
        if ((value.type == kRegSz || value.type == kRegExpandSz) &&
            (value.data.empty() || value.data.back() != 0)) {
          __builtin_trap();
        }
        if (value.type == kRegQword && value.data.size() != 8) __builtin_trap();
      }
      RegistrySubKeyNames(snapshot, root, key.path);
    }
    RegistrySubKeyNames(snapshot, root, "");
  }
  return 0;
}
