#pragma once
// Failures that tests inject into the platform layer: a full disk, a rename
// that fails, a file that cannot be opened. Production code never sets them.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

enum class FaultOp { kOpen, kWrite, kMove, kDelete, kCreateDirectory, kCopy };

// The next `count` calls of `op` whose native path contains `path_part`
// (empty: any path) fail with `error` (original numbering).
void InjectFault(FaultOp op, std::string_view path_part, uint32_t error, int count = 1);
void ClearFaults();

// Used by the layer itself: true (and the last error set) when a fault fires.
bool FaultFires(FaultOp op, std::string_view native_path);

}  // namespace qx::platform
