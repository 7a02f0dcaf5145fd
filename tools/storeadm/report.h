#pragma once
// How storeadm reports a failure: one line on standard error, the first
// reason only, so a caller reading standard error sees the cause and not
// its consequences. With --json on the command line the line is a JSON
// object, {"error": "<reason>"}, so that a JSON reader gets JSON on both
// streams.

#include <cstdint>
#include <string>

namespace qx::storeadm {

// Set by the program's start when the command line asks for --json.
void SetJsonErrors(bool json);
bool JsonErrors();

// Prints "storeadm: <formatted text>" (or the JSON object) unless a reason
// was printed already; a trailing line end in the format is dropped.
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ReportError, then kExitFailure: `return Fail("no folder %s", name);`.
int Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Flushes standard output and, when that or an earlier write to it failed,
// reports "cannot write standard output (<where it leads>): <reason>".
// False on failure.
bool FlushStandardOutputOrReport();

// True once a reason has been printed.
bool ErrorReported();

// The platform's last error in the system's words: "No space left on device
// (error 112)".
std::string LastErrorText();
std::string ErrorText(uint32_t code);

// " (<ErrorText>)" for a code that says something, "" for 0: the library
// does not always leave the error of a failed write behind.
std::string Because(uint32_t code);

}  // namespace qx::storeadm
