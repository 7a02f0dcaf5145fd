#pragma once
// What this host runs for each forwarded call: one row per function, over
// the library's own exported function. This program is one of the server's
// own (QXRADMS.EXE), so those functions never forward again: they do their
// local work, here, on the records decoded from the request. What they keep
// between calls (folder and message listings, BLOB read offsets, the serving
// thread's folder lists) is this process's.

#include <cstdint>
#include <string_view>

#include "remote/forwarded_calls.h"

namespace qx::radms {

struct HostFunction {
  const ForwardedCall* wire;  // what the request carries and the reply copies back
  // Runs the function on the decoded records (parameter2 is null when the
  // row has one record) and returns its result.
  uint32_t (*run)(void* parameter1, void* parameter2);
};

// The row whose wire row sends function_text, or null when this host does
// not run that function (it is then answered as an unknown one).
const HostFunction* FindHostFunction(std::string_view function_text);

}  // namespace qx::radms
