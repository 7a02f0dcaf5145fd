#include <gtest/gtest.h>

#include "frame/time_conversion.h"
#include "qxstore.h"

namespace qx {
namespace {

uint64_t Ticks(const FILETIME& time) {
  return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

FILETIME FromTicks(uint64_t ticks) {
  return FILETIME{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

TEST(TimeConversionTest, EpochsAndTruncationTowardZero) {
  FILETIME time{};
  ASSERT_EQ(UnixTimeToFileTime(0, &time), 1u);
  EXPECT_EQ(Ticks(time), 116444736000000000ULL);
  EXPECT_EQ(UnixTimeFromFileTime(&time), 0);

  ASSERT_EQ(UnixTimeToFileTime(-1, &time), 1u);
  EXPECT_EQ(Ticks(time), 116444736000000000ULL - 10000000ULL);
  EXPECT_EQ(UnixTimeFromFileTime(&time), -1);

  // Less than a second either side of 1970 is 0 seconds.
  time = FromTicks(116444736000000000ULL - 9999999ULL);
  EXPECT_EQ(UnixTimeFromFileTime(&time), 0);
  time = FromTicks(116444736000000000ULL + 9999999ULL);
  EXPECT_EQ(UnixTimeFromFileTime(&time), 0);
  time = FromTicks(116444736000000000ULL - 15000000ULL);
  EXPECT_EQ(UnixTimeFromFileTime(&time), -1);

  // The extremes of 32-bit seconds survive the round trip.
  for (int32_t seconds : {INT32_MAX, INT32_MIN, 1700000000}) {
    ASSERT_EQ(UnixTimeToFileTime(seconds, &time), 1u);
    EXPECT_EQ(UnixTimeFromFileTime(&time), seconds);
  }
  // 1601 itself is before 1970 by the whole epoch difference.
  time = FromTicks(0);
  EXPECT_EQ(UnixTimeFromFileTime(&time), -11644473600LL);
}

}  // namespace
}  // namespace qx
