#pragma once
// The host's side of a forwarded call: what a remote administration host
// does with an EXEC request. Shared by the host program and by tests, so
// both ends use the same coder.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "remote/forwarded_calls.h"

namespace qx {

// The text between "<tag>" and the following "</tag>" in message; empty
// when either is missing.
std::string MessageElement(std::string_view message, std::string_view tag);

// Runs a forwarded function on the host with the decoded records (the
// second is null when the function has one) and returns its result.
using LocalRunner = std::function<uint32_t(const ForwardedCall& call, void* parameter1,
                                           void* parameter2)>;

// Decodes the parameters of the function named in request into zeroed
// records of the entry's sizes, runs them and returns the reply. A function
// that is not in the table replies with no result.
std::string ExecuteForwardedRequest(std::string_view request, const LocalRunner& run);

// "<DATA><PARAMETERS>" with the result as parameter 0 and, when
// copied_back is 1 or 2, record as that parameter, then "</PARAMETERS></DATA>".
std::string BuildForwardedReply(uint32_t result, int copied_back, std::span<const uint8_t> record);

}  // namespace qx
