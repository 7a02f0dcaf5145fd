// The BLOB families of the exported interface: each call runs on the remote
// administration host while forwarding is active, else here.

#include "legacy/blob_records.h"
#include "qxstore.h"
#include "remote/forwarding.h"

using qx::ForwardedFunction;

extern "C" {

QXSTORE_API uint32_t BLOBGetSize(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kBLOBGetSize, qx::LocalBLOBGetSize, blob);
}

QXSTORE_API uint32_t BLOBGetFirstChunk(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kBLOBGetFirstChunk, qx::LocalBLOBGetFirstChunk,
                                 blob);
}

QXSTORE_API uint32_t BLOBGetNextChunk(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kBLOBGetNextChunk, qx::LocalBLOBGetNextChunk,
                                 blob);
}

QXSTORE_API uint32_t BLOBWriteFirstChunk(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kBLOBWriteFirstChunk, qx::LocalBLOBWriteFirstChunk,
                                 blob);
}

QXSTORE_API uint32_t BLOBWriteNextChunk(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kBLOBWriteNextChunk, qx::LocalBLOBWriteNextChunk,
                                 blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetSize(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemBLOBGetSize, qx::LocalMessageItemBLOBGetSize,
                                 blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetFirstChunk(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemBLOBGetFirstChunk, qx::LocalMessageItemBLOBGetFirstChunk,
                                 blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetNextChunk(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemBLOBGetNextChunk, qx::LocalMessageItemBLOBGetNextChunk,
                                 blob);
}

QXSTORE_API uint32_t MessageItemBLOBWriteFirstChunk(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemBLOBWriteFirstChunk, qx::LocalMessageItemBLOBWriteFirstChunk,
                                 blob);
}

QXSTORE_API uint32_t MessageItemBLOBWriteNextChunk(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally(ForwardedFunction::kMessageItemBLOBWriteNextChunk, qx::LocalMessageItemBLOBWriteNextChunk,
                                 blob);
}

}  // extern "C"
