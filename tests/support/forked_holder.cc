#include "support/forked_holder.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qx::test {

ForkedHolder::ForkedHolder(const std::function<bool()>& hold, const std::function<bool()>& let_go) {
  if (::pipe(ready_) != 0 || ::pipe(release_) != 0) return;
  child_ = ::fork();
  if (child_ == 0) {
    char answer = hold() ? 'y' : 'n';
    (void)!::write(ready_[1], &answer, 1);
    (void)!::read(release_[0], &answer, 1);
    ::_exit(let_go && !let_go() ? 1 : 0);
  }
  char answer = 'n';
  held_ = child_ > 0 && ::read(ready_[0], &answer, 1) == 1 && answer == 'y';
}

bool ForkedHolder::Release() {
  if (child_ <= 0) return false;
  (void)!::write(release_[1], "x", 1);
  int status = 0;
  const bool reaped = ::waitpid(child_, &status, 0) == child_;
  child_ = -1;
  for (int fd : {ready_[0], ready_[1], release_[0], release_[1]}) ::close(fd);
  return reaped && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ForkedHolder::Kill() {
  if (child_ <= 0) return false;
  ::kill(child_, SIGKILL);
  int status = 0;
  const bool reaped = ::waitpid(child_, &status, 0) == child_;
  child_ = -1;
  for (int fd : {ready_[0], ready_[1], release_[0], release_[1]}) ::close(fd);
  return reaped && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace qx::test
