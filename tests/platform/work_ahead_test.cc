#include "platform/work_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace qx::platform {
namespace {

// An item that shows what was made into it: a place made over without
// being emptied, or written while the consumer still held it, shows up.
struct Made {
  std::vector<size_t> marks;
};

// Items live in a window's worth of places: every item taken must hold
// exactly what was made for it, whoever made it, with items passed over
// and with helpers slower than the consumer.
TEST(WorkAheadTest, EveryItemTakenIsWholeThoughPlacesAreReused) {
  for (const size_t helpers : {size_t{0}, size_t{1}, size_t{3}}) {
    for (const size_t window : {size_t{1}, size_t{4}, size_t{64}}) {
      constexpr size_t kCount = 3000;
      std::atomic<size_t> made{0};
      WorkAhead<Made> work(kCount, helpers, window, [&](size_t i, Made* item) {
        if (i % 97 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        item->marks.push_back(i);
        item->marks.push_back(i + 1);
        made.fetch_add(1);
      });
      for (size_t i = 0; i < kCount; i += (i % 50 == 49) ? 7 : 1) {  // some passed over
        Made& item = work.Take(i);
        ASSERT_EQ(item.marks, (std::vector<size_t>{i, i + 1})) << "helpers " << helpers << " window " << window;
        item.marks.push_back(0);  // the consumer may use its item until its next Take
        std::this_thread::yield();
        ASSERT_EQ(item.marks.size(), 3u) << "helpers " << helpers << " window " << window << " item " << i;
      }
      EXPECT_LE(made.load(), kCount);
    }
  }
}

}  // namespace
}  // namespace qx::platform
