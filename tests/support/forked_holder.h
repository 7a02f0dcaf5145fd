#pragma once
// Another process that opens something and keeps it until told to let go:
// how tests meet a second server process holding a file.

#include <sys/types.h>

#include <functional>

namespace qx::test {

class ForkedHolder {
 public:
  // Runs `hold` in a forked child and waits until it has answered. On
  // Release the child runs `let_go` (if any) and exits with its answer.
  explicit ForkedHolder(const std::function<bool()>& hold,
                        const std::function<bool()>& let_go = nullptr);
  ~ForkedHolder() { Release(); }
  ForkedHolder(const ForkedHolder&) = delete;
  ForkedHolder& operator=(const ForkedHolder&) = delete;

  // True when `hold` returned true in the child.
  bool held() const { return held_; }
  // Lets the child go and reaps it; true when it exited with success.
  bool Release();
  // Kills the child with SIGKILL, as a crash would, and reaps it; whatever
  // it held is left as it was. True when it was killed.
  bool Kill();

 private:
  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t child_ = -1;
  bool held_ = false;
};

}  // namespace qx::test
