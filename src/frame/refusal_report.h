#pragma once
// Refusals of caller-given names and paths (store_names.h, store_roots.h)
// go to one listener, so that a host carrying out calls for other machines
// can log what a client tried to reach. With no listener nothing happens:
// the library's own callers see the refusal in the last error alone.

#include <cstdint>
#include <string_view>

namespace qx {

// `refused` is the name or path as the caller gave it; `error` the last
// error the refusal leaves (123 or 5). Called on the refusing thread.
using RefusalListener = void (*)(std::string_view refused, uint32_t error);

// Sets the listener for the rest of the process (null: none).
void ListenForRefusals(RefusalListener listener);

// Hands one refusal to the listener, if there is one.
void ReportRefusal(std::string_view refused, uint32_t error);

}  // namespace qx
