#pragma once
// A thread that runs what it is given, one call at a time, so that a test
// can keep several threads' library state (their records, their open
// folders) alive and drive them in turn. The thread ends, running the
// library's thread-end handling, on Finish or destruction.

#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

namespace qx::test {

class Worker {
 public:
  Worker() : thread_([this] {
      for (std::function<void()> task; (task = Next());) task();
    }) {}
  ~Worker() { Finish(); }

  template <typename F>
  auto Run(F work) -> decltype(work()) {
    std::packaged_task<decltype(work())()> task(std::move(work));
    auto result = task.get_future();
    Post([&task] { task(); });
    return result.get();
  }
  void Finish() {
    if (!thread_.joinable()) return;
    Post(nullptr);
    thread_.join();
  }

 private:
  void Post(std::function<void()> task) {
    std::lock_guard<std::mutex> lock(mutex_);
    task_ = std::move(task);
    posted_ = true;
    ready_.notify_one();
  }
  std::function<void()> Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return posted_; });
    posted_ = false;
    return std::exchange(task_, nullptr);
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::function<void()> task_;
  bool posted_ = false;
  std::thread thread_;
};

}  // namespace qx::test
