#include "frame/report_error.h"

#include <cstdint>
#include <cstdio>

#include "platform/diagnostics.h"
#include "platform/errors.h"

namespace qx {

void ReportStoreError(const char* text) {
  uint32_t error = platform::GetLastError();
  char first[128];
  std::snprintf(first, sizeof first, "%s error: %d", "Talmera Store Provider",
                static_cast<int>(error));
  const char* strings[] = {first, text == nullptr ? "" : text};
  platform::ReportEvent("Talmera", platform::EventType::kInformation, 0x40000001, strings, 2);
}

}  // namespace qx
