#pragma once
// The layer's side of the power-loss model declared in fault_injection.h:
// while tracking is on, the calls that change files report here what they
// did, so that SimulatePowerLoss can take back what was never synced. Only
// the layer's own files include this. Every Record call is one step towards
// a cut armed by CutPowerAfter (the power may go off inside it).

#include <cstdint>
#include <string>

#include "platform/fault_injection.h"

namespace qx::platform {

// Whether tracking is on: one relaxed atomic load. Callers skip the Record
// calls (and SaveEntryForUndo) while it is off.
bool PowerLossTracking();

// What an undo puts back at a name that a rename replaced or a delete removed.
struct SavedEntry {
  bool present = false;
  std::string bytes;  // only the synced ones
  uint32_t mode = 0;
};

// The file at `native` as a power failure would leave it, taken before a
// rename replaces it or a delete removes it.
SavedEntry SaveEntryForUndo(const std::string& native);

// `fd` was just opened on `native`, which the open created (`created`) or
// truncated: none of its bytes are synced, and a created entry is an
// unsynced operation of its directory.
void RecordOpened(int fd, const std::string& native, bool created);
// Before a write through `fd`: a file not seen yet counts as synced up to
// its present length.
void NoteWriting(int fd);
// A step that needs no record of its own (a write that was made).
void RecordStep(DurabilityStep step);
// The bytes of the file open as `fd` are synced up to its present length.
void RecordSynced(int fd);
// `from` was renamed to `to`, replacing `replaced`.
void RecordRenamed(const std::string& from, const std::string& to, SavedEntry replaced);
void RecordDeleted(const std::string& native, SavedEntry deleted);
// The directory open as `fd` was synced: its operations so far are durable.
void RecordDirectorySynced(int fd);

// Kept by fault_injection.cc: while the power is off every fault check fires.
void SetPowerOff(bool off);

}  // namespace qx::platform
