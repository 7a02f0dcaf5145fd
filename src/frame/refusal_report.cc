#include "frame/refusal_report.h"

#include <atomic>

namespace qx {

namespace {

std::atomic<RefusalListener> g_listener{nullptr};

}  // namespace

void ListenForRefusals(RefusalListener listener) {
  g_listener.store(listener, std::memory_order_release);
}

void ReportRefusal(std::string_view refused, uint32_t error) {
  if (RefusalListener listener = g_listener.load(std::memory_order_acquire)) {
    listener(refused, error);
  }
}

}  // namespace qx
