#pragma once
// Commands whose calls forward to a remote administration host (while one
// is chosen: SetCurrentHost, or "ForceDefaultHost") must not mistake a host
// they could not reach for an empty answer: a folder list of "(none)" from a
// refused connection would be a lie.

namespace qx::storeadm {

// Call right after a call that may have been forwarded. When that call got
// no answer from its host (not found, refused, credentials refused, busy,
// silent), prints "storeadm: <reason>" on one line to standard error and
// returns true; the command then exits with kExitFailure.
bool ReportForwardingFailure();

}  // namespace qx::storeadm
