#include <gtest/gtest.h>

#include "frame/time_conversion.h"
#include "qxstore.h"

namespace qx {
namespace {

constexpr uint64_t kEpoch = 116444736000000000ULL;  // 1970 in 100 ns ticks since 1601

int64_t UnixTimeOf(uint64_t ticks) {
  FILETIME time{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
  return UnixTimeFromFileTime(&time);
}

TEST(TimeConversionTest, TruncatesTowardZeroAndKeeps32BitExtremes) {
  // Less than a second either side of 1970 is 0 seconds.
  EXPECT_EQ(UnixTimeOf(kEpoch - 9999999ULL), 0);
  EXPECT_EQ(UnixTimeOf(kEpoch - 15000000ULL), -1);
  for (int32_t seconds : {INT32_MAX, INT32_MIN}) {
    FILETIME time{};
    ASSERT_EQ(UnixTimeToFileTime(seconds, &time), 1u);
    EXPECT_EQ((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime,
              kEpoch + static_cast<int64_t>(seconds) * 10000000LL);
    EXPECT_EQ(UnixTimeFromFileTime(&time), seconds);
  }
}

}  // namespace
}  // namespace qx
