#pragma once
// What a remote administration host runs for each forwarded BLOB function:
// the local work, on the record decoded from the request. The forwarded-call
// table (remote/forwarded_calls.cc) names these. The host's own process
// keeps the families' read offsets.

#include <cstdint>

namespace qx {

uint32_t HostBLOBGetSize(void* blob, void* unused);
uint32_t HostBLOBGetFirstChunk(void* blob, void* unused);
uint32_t HostBLOBGetNextChunk(void* blob, void* unused);
uint32_t HostBLOBWriteFirstChunk(void* blob, void* unused);
uint32_t HostBLOBWriteNextChunk(void* blob, void* unused);
uint32_t HostMessageItemBLOBGetSize(void* blob, void* unused);
uint32_t HostMessageItemBLOBGetFirstChunk(void* blob, void* unused);
uint32_t HostMessageItemBLOBGetNextChunk(void* blob, void* unused);
uint32_t HostMessageItemBLOBWriteFirstChunk(void* blob, void* unused);
uint32_t HostMessageItemBLOBWriteNextChunk(void* blob, void* unused);

}  // namespace qx
