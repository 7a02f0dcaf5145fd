#include "progress.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/diagnostics.h"

namespace qx::storeadm {

namespace {
constexpr uint64_t kQuietMilliseconds = 1000;
}  // namespace

bool ShowProgress() { return platform::StandardErrorIsTerminal(); }

Progress::Progress(const char* what) : what_(what), started_(platform::TickMilliseconds()) {}

void Progress::Step(size_t done, size_t total) {
  if (!ShowProgress() || platform::TickMilliseconds() - started_ < kQuietMilliseconds) return;
  std::fprintf(stderr, "\r%s: %zu of %zu", what_, done, total);
  std::fflush(stderr);
  shown_ = true;
}

void Progress::Finish() {
  if (shown_) std::fprintf(stderr, "\n");
  shown_ = false;
}

}  // namespace qx::storeadm
