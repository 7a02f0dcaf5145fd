#pragma once
// Closing files on a thread of this layer's own. The last close of a file
// that was deleted while open frees the file's blocks, and where the file
// system hands freed blocks back to the device at once (ext4 without a
// journal, mounted with "discard") that close waits for the device, up to
// milliseconds a file on a busy disk. A caller that deletes many files
// keeps each open across its delete and hands it over here: the names are
// gone when the delete returns, and only the freeing of the blocks comes
// later.

#include "platform/file.h"

namespace qx::platform {

// Closes `file` soon, on the closing thread (started on first use). With
// too many files waiting, closes it at once instead.
void CloseInBackground(File file);

// Returns once every file handed over has been closed and the closing
// thread has ended; the next hand-over starts it again. The library calls
// it when it stops, so that none of its code runs after it is unloaded.
void FinishBackgroundCloses();

}  // namespace qx::platform
