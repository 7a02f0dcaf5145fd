#pragma once
// What a remote administration host runs for each forwarded command message
// function: the local work, on the record decoded from the request. The
// forwarded-call table (remote/forwarded_calls.cc) names these. The host's
// own process keeps the queue listing.

#include <cstdint>

namespace qx {

uint32_t HostCommandMessageFindFirst(void* message, void* unused);
uint32_t HostCommandMessageFindNext(void* message, void* unused);
uint32_t HostCommandMessageGet(void* message, void* unused);
uint32_t HostCommandMessageSet(void* message, void* unused);

}  // namespace qx
