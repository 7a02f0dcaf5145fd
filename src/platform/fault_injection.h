#pragma once
// Failures that tests inject into the platform layer: a full disk, a rename
// that fails, a file that cannot be opened. Production code never sets them.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

enum class FaultOp { kOpen, kWrite, kMove, kDelete, kCreateDirectory, kCopy };

// The next `count` calls of `op` whose native path contains `path_part`
// (empty: any path) fail with `error` (original numbering). A negative count
// arms the fault until ClearFaults; 0 arms nothing. Faults fire in the order
// they were armed. A failing call leaves the file system untouched.
void InjectFault(FaultOp op, std::string_view path_part, uint32_t error, int count = 1);
void ClearFaults();

// Used by the layer itself: true (and the last error set) when a fault fires.
// Costs one relaxed atomic load while no fault is armed.
bool FaultFires(FaultOp op, std::string_view native_path);
// Whether any fault is armed: one relaxed atomic load.
bool AnyFaultArmed();
// Whether a fault is armed for `op` on `native_path`, without using it up.
bool FaultArmed(FaultOp op, std::string_view native_path);

// For File::Write, which knows only its descriptor: the descriptor's path is
// looked up only while faults are armed.
bool FaultFiresForDescriptor(FaultOp op, int fd);

}  // namespace qx::platform
