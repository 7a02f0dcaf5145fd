// The BLOB families of the exported interface: each call runs on the remote
// administration host while forwarding is active, else here.

#include "legacy/blob_records.h"
#include "qxstore.h"
#include "remote/forwarding.h"

using qx::ForwardCall;
using qx::ForwardedFunction;

extern "C" {

QXSTORE_API uint32_t BLOBGetSize(BLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kBLOBGetSize, blob)) return *forwarded;
  return qx::LocalBLOBGetSize(blob);
}

QXSTORE_API uint32_t BLOBGetFirstChunk(BLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kBLOBGetFirstChunk, blob)) return *forwarded;
  return qx::LocalBLOBGetFirstChunk(blob);
}

QXSTORE_API uint32_t BLOBGetNextChunk(BLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kBLOBGetNextChunk, blob)) return *forwarded;
  return qx::LocalBLOBGetNextChunk(blob);
}

QXSTORE_API uint32_t BLOBWriteFirstChunk(BLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kBLOBWriteFirstChunk, blob)) {
    return *forwarded;
  }
  return qx::LocalBLOBWriteFirstChunk(blob);
}

QXSTORE_API uint32_t BLOBWriteNextChunk(BLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kBLOBWriteNextChunk, blob)) {
    return *forwarded;
  }
  return qx::LocalBLOBWriteNextChunk(blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetSize(MESSAGEBLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemBLOBGetSize, blob)) {
    return *forwarded;
  }
  return qx::LocalMessageItemBLOBGetSize(blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetFirstChunk(MESSAGEBLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemBLOBGetFirstChunk, blob)) {
    return *forwarded;
  }
  return qx::LocalMessageItemBLOBGetFirstChunk(blob);
}

QXSTORE_API uint32_t MessageItemBLOBGetNextChunk(MESSAGEBLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemBLOBGetNextChunk, blob)) {
    return *forwarded;
  }
  return qx::LocalMessageItemBLOBGetNextChunk(blob);
}

QXSTORE_API uint32_t MessageItemBLOBWriteFirstChunk(MESSAGEBLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemBLOBWriteFirstChunk, blob)) {
    return *forwarded;
  }
  return qx::LocalMessageItemBLOBWriteFirstChunk(blob);
}

QXSTORE_API uint32_t MessageItemBLOBWriteNextChunk(MESSAGEBLOBRECORD* blob) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kMessageItemBLOBWriteNextChunk, blob)) {
    return *forwarded;
  }
  return qx::LocalMessageItemBLOBWriteNextChunk(blob);
}

}  // extern "C"
