#pragma once
// Progress lines on standard error for work that takes more than a moment
// (a walk over every folder, every mailbox). Shown only on a terminal, so a
// log or a script's capture of standard error holds reasons only.

#include <cstddef>
#include <cstdint>

namespace qx::storeadm {

// True when progress may be shown at all.
bool ShowProgress();

// "\r<what>: <done> of <total>" once more than a second has passed since
// the object was made; Finish ends the line when one was shown.
class Progress {
 public:
  explicit Progress(const char* what);
  void Step(size_t done, size_t total);
  void Finish();

 private:
  const char* what_;
  uint64_t started_;
  bool shown_ = false;
};

}  // namespace qx::storeadm
