#include "legacy/blob_host_calls.h"

#include "legacy/blob_records.h"
#include "qxstore.h"

namespace qx {

namespace {

BLOBRECORD* Blob(void* parameter) { return static_cast<BLOBRECORD*>(parameter); }

MESSAGEBLOBRECORD* MessageBlob(void* parameter) {
  return static_cast<MESSAGEBLOBRECORD*>(parameter);
}

}  // namespace

uint32_t HostBLOBGetSize(void* blob, void*) { return LocalBLOBGetSize(Blob(blob)); }

uint32_t HostBLOBGetFirstChunk(void* blob, void*) { return LocalBLOBGetFirstChunk(Blob(blob)); }

uint32_t HostBLOBGetNextChunk(void* blob, void*) { return LocalBLOBGetNextChunk(Blob(blob)); }

uint32_t HostBLOBWriteFirstChunk(void* blob, void*) { return LocalBLOBWriteFirstChunk(Blob(blob)); }

uint32_t HostBLOBWriteNextChunk(void* blob, void*) { return LocalBLOBWriteNextChunk(Blob(blob)); }

uint32_t HostMessageItemBLOBGetSize(void* blob, void*) {
  return LocalMessageItemBLOBGetSize(MessageBlob(blob));
}

uint32_t HostMessageItemBLOBGetFirstChunk(void* blob, void*) {
  return LocalMessageItemBLOBGetFirstChunk(MessageBlob(blob));
}

uint32_t HostMessageItemBLOBGetNextChunk(void* blob, void*) {
  return LocalMessageItemBLOBGetNextChunk(MessageBlob(blob));
}

uint32_t HostMessageItemBLOBWriteFirstChunk(void* blob, void*) {
  return LocalMessageItemBLOBWriteFirstChunk(MessageBlob(blob));
}

uint32_t HostMessageItemBLOBWriteNextChunk(void* blob, void*) {
  return LocalMessageItemBLOBWriteNextChunk(MessageBlob(blob));
}

}  // namespace qx
