#pragma once
// Failures that tests inject into the platform layer: a full disk, a rename
// that fails, a file that cannot be opened, a sync that fails, and a power
// loss. Production code never sets them.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

enum class FaultOp { kOpen, kWrite, kMove, kDelete, kCreateDirectory, kCopy, kSync };

// The next `count` calls of `op` whose native path contains `path_part`
// (empty: any path) fail with `error` (original numbering). A negative count
// arms the fault until ClearFaults; 0 arms nothing. Faults fire in the order
// they were armed. A failing call leaves the file system untouched.
void InjectFault(FaultOp op, std::string_view path_part, uint32_t error, int count = 1);
// Disarms every injected fault (not the power switch below).
void ClearFaults();

// A full disk for programs run by tests: when QXSTORE_TEST_DISK_FULL is set
// as a program starts, every write and copy whose native path contains its
// value fails with 112 (the disk is full) until ClearFaults.

// Used by the layer itself: true (and the last error set) when a fault fires.
// Costs one relaxed atomic load while no fault is armed and the power is on.
bool FaultFires(FaultOp op, std::string_view native_path);
// Whether any fault is armed or the power is off: one relaxed atomic load.
bool AnyFaultArmed();
// Whether a fault is armed for `op` on `native_path` (or the power is off),
// without using it up.
bool FaultArmed(FaultOp op, std::string_view native_path);

// For File::Write, which knows only its descriptor: the descriptor's path is
// looked up only while faults are armed.
bool FaultFiresForDescriptor(FaultOp op, int fd);

// Power loss, modelled as LevelDB's fault-injection Env models it.
//
// While tracking is on, the layer remembers for each file it writes how many
// of its bytes were synced (File::SyncData, File::Flush), and for each
// directory which creates, renames and deletes the layer made in it since the
// directory was last synced (Directory::Sync). Files and entries that existed
// when tracking started count as synced. A file created, or truncated when
// opened, counts as having no synced bytes.
void StartPowerLossTracking();
// Ends tracking, forgets what it recorded and turns the power back on.
void StopPowerLossTracking();

// What a power failure can take back, taken back now: unsynced directory
// operations are undone newest first (a created file disappears; a renamed
// file moves back and the file it replaced returns with its synced bytes; a
// deleted file returns with its synced bytes), then each file written is cut
// to its synced length. Tracking goes on, with what is left counting as
// synced. Not modelled: directories made or removed, times and modes, bytes
// overwritten in place within the synced length, and the old directory of a
// rename between directories (only the new one's sync counts).
void SimulatePowerLoss();

// The steps the power can be cut after: each call of the layer that changes
// what a power failure would leave behind.
enum class DurabilityStep { kNone, kCreate, kWrite, kDataSync, kRename, kDelete, kDirectorySync };

// Cuts the power right after `steps` more steps have been made while tracking
// (1: after the next one): SimulatePowerLoss runs, and from then on every
// call that checks for faults fails with 21 (device not ready) and changes
// nothing, until RestorePower. 0 or less disarms the cut.
void CutPowerAfter(int steps);
// The step after which the power went off; kNone while it is on.
DurabilityStep PowerCutAfter();
// Turns the power back on; tracking goes on.
void RestorePower();

}  // namespace qx::platform
