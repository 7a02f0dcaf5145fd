#pragma once
// Standard output of a program whose data goes there (a message written to a
// file, a listing piped on): a full disk or a closed pipe shows only when
// the buffered bytes are flushed, and a reason line needs to say where they
// were going.

#include <string>

namespace qx::platform {

// Flushes standard output. False, with the last error set from the system's
// error, when any write to it failed (now or before).
bool FlushStandardOutput();

// Where standard output leads ("/tmp/message.eml", "/dev/full",
// "pipe:[4711]"); empty when that cannot be read.
std::string StandardOutputTarget();

}  // namespace qx::platform
