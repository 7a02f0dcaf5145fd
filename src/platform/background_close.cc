#include "platform/background_close.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

#include "platform/fork_safe_instance.h"

namespace qx::platform {

namespace {

// Beyond this many waiting files a hand-over closes at once, so that the
// descriptors held stay few whatever the callers do.
constexpr size_t kMostWaiting = 1024;

class BackgroundCloser {
 public:
  static BackgroundCloser& Instance() { return ForkSafeInstance<BackgroundCloser>(); }

  // False when the caller is to close the descriptor itself.
  bool Take(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (waiting_.size() >= kMostWaiting) return false;
    if (!thread_.joinable()) thread_ = std::thread([this, generation = ++generation_] { Run(generation); });
    waiting_.push_back(fd);
    wake_.notify_all();
    return true;
  }

  void Finish() {
    std::thread ending;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_through_ = generation_;
      wake_.notify_all();
      ending = std::move(thread_);
    }
    if (ending.joinable()) ending.join();
  }

 private:
  template <class T>
  friend T& platform::ForkSafeInstance();

  // A thread told to stop ends once nothing waits; one started after it
  // (a hand-over while it was being joined) has a later generation.
  void Run(uint64_t generation) {
    std::vector<int> closing;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      const auto told_to_stop = [&] { return stopped_through_ >= generation; };
      wake_.wait(lock, [&] { return told_to_stop() || !waiting_.empty(); });
      if (waiting_.empty()) return;
      closing.swap(waiting_);
      lock.unlock();
      for (const int fd : closing) ::close(fd);
      closing.clear();
      lock.lock();
    }
  }

  // The child of a fork has no closing thread and must not join the
  // parent's; the descriptors it inherited are left to its exec or exit.
  void StartOverInChild() {
    new (&thread_) std::thread();
    new (&wake_) std::condition_variable();
    waiting_.clear();
    mutex_.unlock();
  }

  std::mutex mutex_;  // guards all below
  std::condition_variable wake_;
  std::vector<int> waiting_;
  std::thread thread_;
  uint64_t generation_ = 0;       // of the last thread started
  uint64_t stopped_through_ = 0;  // threads of this generation and before stop
};

}  // namespace

void CloseInBackground(File file) {
  if (!file.valid()) return;
  const int fd = file.fd_;
  file.fd_ = -1;
  if (!BackgroundCloser::Instance().Take(fd)) ::close(fd);
}

void FinishBackgroundCloses() { BackgroundCloser::Instance().Finish(); }

}  // namespace qx::platform
