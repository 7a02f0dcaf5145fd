#pragma once
// Work done ahead of a consumer that takes its results in order: helper
// threads produce items 0, 1, 2... while the caller's thread uses the ones
// already made. A folder scan reads message headers this way, so that the
// reads of many files run on every core while the index is still built in
// name order on one thread.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qx::platform {

// Helpers worth starting on this machine besides the caller's own thread:
// one less than the cores, at least one and at most three (a header read is
// mostly waiting on the file system, which more threads do not speed up).
inline size_t WorkAheadHelpers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp<size_t>(cores > 1 ? cores - 1 : 1, 1, 3);
}

// `produce(i, &item)` fills item i of `count`; it must be safe to run on
// several threads at once for different i. Take(i) must be called with
// increasing i; items it passes over are never made. Helpers keep at
// most `window` items made and not yet taken. The destructor lets each
// helper finish the item it is on, makes nothing more and joins them.
template <typename Item>
class WorkAhead {
 public:
  WorkAhead(size_t count, size_t helpers, size_t window, std::function<void(size_t, Item*)> produce)
      : produce_(std::move(produce)), items_(count), done_(count, 0), window_(std::max<size_t>(window, 1)) {
    helpers = std::min(helpers, count);
    threads_.reserve(helpers);
    for (size_t i = 0; i < helpers; ++i) threads_.emplace_back([this] { HelperLoop(); });
  }

  WorkAhead(const WorkAhead&) = delete;
  WorkAhead& operator=(const WorkAhead&) = delete;

  ~WorkAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    helper_wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // Item i, made by a helper or, when none has started it, here.
  Item& Take(size_t i) {
    std::unique_lock<std::mutex> lock(mutex_);
    taken_ = i;
    helper_wake_.notify_all();  // the window moved on
    if (next_ <= i) {
      // Nobody started it: make it here, and pass over those before it.
      next_ = i + 1;
      lock.unlock();
      produce_(i, &items_[i]);
      return items_[i];
    }
    consumer_wake_.wait(lock, [&] { return done_[i] != 0; });
    return items_[i];
  }

 private:
  void HelperLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      helper_wake_.wait(lock, [&] { return stopping_ || next_ >= items_.size() || next_ < taken_ + window_; });
      if (stopping_ || next_ >= items_.size()) return;
      const size_t i = next_++;
      lock.unlock();
      produce_(i, &items_[i]);
      lock.lock();
      done_[i] = 1;
      consumer_wake_.notify_one();
    }
  }

  const std::function<void(size_t, Item*)> produce_;
  std::vector<Item> items_;
  std::vector<char> done_;  // guarded by mutex_
  const size_t window_;
  std::mutex mutex_;
  std::condition_variable helper_wake_;
  std::condition_variable consumer_wake_;
  size_t next_ = 0;   // the next item nobody started; guarded by mutex_
  size_t taken_ = 0;  // the item the consumer asked for last; guarded by mutex_
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace qx::platform
