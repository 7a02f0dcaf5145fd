#include "frame/thread_record.h"

#include <atomic>
#include <new>

#include "frame/thread_state.h"
#include "platform/diagnostics.h"

namespace qx {

namespace {

// Serials are handed out in order; a 32-bit counter would have to wrap
// past every live record before two of them could share one.
uint32_t NextRecordSerial() {
  static std::atomic<uint32_t> next{1};
  uint32_t serial = next.fetch_add(1);
  return serial != 0 ? serial : next.fetch_add(1);
}

}  // namespace

STOREINDEXTYPE* TLSStoreIndex_Get() {
  STOREINDEXTYPE* record = ThreadStoreIndexRecord();
  return record != nullptr ? record : TLSStoreIndex_Init();
}

STOREINDEXTYPE* TLSStoreIndex_Init() {
  if (STOREINDEXTYPE* existing = ThreadStoreIndexRecord()) return existing;
  auto* record = new (std::nothrow) STOREINDEXTYPE;
  if (record == nullptr) {
    platform::DebugOutput("TLSStoreIndex_Init::Unable to allocate STOREINDEXTYPE structure\n");
    return nullptr;
  }
  record->serial = NextRecordSerial();
  // Before the library's start (or after a failed one) there is no slot to
  // keep the record in.
  if (!SetThreadStoreIndexRecord(record)) {
    delete record;
    return nullptr;
  }
  return record;
}

}  // namespace qx

