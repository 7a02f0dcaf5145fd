// The BLOB families of the exported interface: each call runs on the remote
// administration host while forwarding is active, else here.

#include "legacy/blob_records.h"
#include "qxstore.h"
#include "remote/forwarding.h"

extern "C" {

QXSTORE_API uint32_t BLOBGetSize(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"BLOBGetSize">(qx::LocalBLOBGetSize, blob);
}

QXSTORE_API uint32_t BLOBGetFirstChunk(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"BLOBGetFirstChunk">(qx::LocalBLOBGetFirstChunk, blob);
}

QXSTORE_API uint32_t BLOBGetNextChunk(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"BLOBGetNextChunk">(qx::LocalBLOBGetNextChunk, blob);
}

QXSTORE_API uint32_t BLOBWriteFirstChunk(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"BLOBWriteFirstChunk">(qx::LocalBLOBWriteFirstChunk, blob);
}

QXSTORE_API uint32_t BLOBWriteNextChunk(BLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"BLOBWriteNextChunk">(qx::LocalBLOBWriteNextChunk, blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetSize(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"MessageItemBLOBGetSize">(qx::LocalMessageItemBLOBGetSize, blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetFirstChunk(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"MessageItemBLOBGetFirstChunk">(
      qx::LocalMessageItemBLOBGetFirstChunk, blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetNextChunk(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"MessageItemBLOBGetNextChunk">(
      qx::LocalMessageItemBLOBGetNextChunk, blob);
}

QXSTORE_API uint32_t MessageItemBLOBWriteFirstChunk(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"MessageItemBLOBWriteFirstChunk">(
      qx::LocalMessageItemBLOBWriteFirstChunk, blob);
}

QXSTORE_API uint32_t MessageItemBLOBWriteNextChunk(MESSAGEBLOBRECORD* blob) {
  return qx::ForwardOrRunLocally<"MessageItemBLOBWriteNextChunk">(
      qx::LocalMessageItemBLOBWriteNextChunk, blob);
}

}  // extern "C"
