#pragma once
// Work done ahead of a consumer that takes its results in order: helper
// threads produce items 0, 1, 2... while the caller's thread uses the ones
// already made. A folder scan reads message headers this way, so that the
// reads of many files run on every core while the index is still built in
// name order on one thread.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
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

// `produce(i, &item)` fills item i of `count`, given a freshly made Item;
// it must be safe to run on several threads at once for different i.
// Take(i) must be called with increasing i; items it passes over are never
// made. Helpers keep at most `window` items made and not yet taken, and
// only that many are held: the item Take returns is the caller's until its
// next Take, after which its place is made over for a later item. The
// destructor lets each helper finish the item it is on, makes nothing more
// and joins them.
template <typename Item>
class WorkAhead {
 public:
  WorkAhead(size_t count, size_t helpers, size_t window, std::function<void(size_t, Item*)> produce)
      : produce_(std::move(produce)),
        count_(count),
        window_(std::clamp<size_t>(window, 1, std::max<size_t>(count, 1))),
        items_(window_),
        done_(std::make_unique<std::atomic<bool>[]>(count)) {
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

  // Item i, made by a helper or, when none has started it, here. While a
  // helper is still on item i, this thread makes the next unstarted item
  // (within the window) rather than wait, so that its core works too.
  Item& Take(size_t i) {
    if (i > next_take_) PassOver(i);
    next_take_ = i + 1;
    taken_.store(i);
    // Helpers that filled the window wait until half of it has been taken,
    // so that they are woken once a half window, not once an item.
    if (helpers_waiting_.load() > 0 && i + window_ / 2 >= next_.load()) {
      std::lock_guard<std::mutex> lock(mutex_);
      helper_wake_.notify_all();
    }
    for (;;) {
      if (done_[i].load(std::memory_order_acquire)) return Slot(i);
      std::unique_lock<std::mutex> lock(mutex_);
      const size_t next = next_.load();
      if (next <= i) {
        // Nobody started it: make it here.
        next_.store(i + 1);
        lock.unlock();
        Produce(i);
        return Slot(i);
      }
      if (next < count_ && next < i + window_) {
        next_.store(next + 1);
        lock.unlock();
        Produce(next);
        continue;
      }
      consumer_waiting_.store(true);
      consumer_wake_.wait(lock, [&] { return done_[i].load(std::memory_order_acquire); });
      consumer_waiting_.store(false);
      return Slot(i);
    }
  }

 private:
  // Item i lives where item i - window did. Items are started only within
  // a window of the last one taken, and below that one every item is made
  // or never will be, so no two items at work share a place.
  Item& Slot(size_t i) { return items_[i % window_]; }

  bool AllMade(size_t first, size_t end) const {
    for (size_t j = first; j < end; ++j) {
      if (!done_[j].load(std::memory_order_acquire)) return false;
    }
    return true;
  }

  // Items next_take_ to i - 1 are passed over: those helpers started are
  // finished first, and the rest are never started.
  void PassOver(size_t i) {
    std::unique_lock<std::mutex> lock(mutex_);
    consumer_waiting_.store(true);
    consumer_wake_.wait(lock, [&] { return AllMade(next_take_, std::min(next_.load(), i)); });
    consumer_waiting_.store(false);
    if (next_.load() < i) next_.store(i);
  }

  void Produce(size_t i) {
    Item& item = Slot(i);
    item = Item();
    produce_(i, &item);
    done_[i].store(true, std::memory_order_release);
  }

  void HelperLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (!stopping_ && next_.load() < count_ && next_.load() >= taken_.load() + window_) {
        helpers_waiting_.fetch_add(1);
        helper_wake_.wait(lock, [&] {
          return stopping_ || next_.load() >= count_ || next_.load() < taken_.load() + window_ / 2 + 1;
        });
        helpers_waiting_.fetch_sub(1);
      }
      if (stopping_ || next_.load() >= count_) return;
      const size_t i = next_.load();
      next_.store(i + 1);
      lock.unlock();
      Produce(i);
      lock.lock();
      // Seen under the lock, so a consumer about to wait has either seen
      // the item done or is waiting and gets this wake.
      if (consumer_waiting_.load()) consumer_wake_.notify_one();
    }
  }

  const std::function<void(size_t, Item*)> produce_;
  const size_t count_;
  const size_t window_;
  std::vector<Item> items_;  // item i at i % window_
  std::unique_ptr<std::atomic<bool>[]> done_;  // set once item i is made
  std::mutex mutex_;
  std::condition_variable helper_wake_;
  std::condition_variable consumer_wake_;
  // The next item nobody started: changed under mutex_, read without it
  // only to decide whether to wake the helpers.
  std::atomic<size_t> next_{0};
  std::atomic<size_t> taken_{0};  // the item the consumer asked for last
  size_t next_take_ = 0;          // the consumer's own: the item after the last taken
  std::atomic<int> helpers_waiting_{0};
  std::atomic<bool> consumer_waiting_{false};
  bool stopping_ = false;  // guarded by mutex_
  std::vector<std::thread> threads_;
};

}  // namespace qx::platform
