#include "platform/civil_date.h"

#include <gtest/gtest.h>

namespace qx::platform {
namespace {

TEST(CivilDateTest, EpochsAndKnownDays) {
  EXPECT_EQ(kUnixEpochAsFileTime, 116444736000000000ULL);
  EXPECT_EQ(DaysFromCivil(1601, 1, 1), -kDaysFrom1601To1970);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1), 11017);  // the day after a century leap day
  EXPECT_EQ(WeekdayFromDays(0), 4u);            // 1970-01-01, a Thursday
  EXPECT_EQ(WeekdayFromDays(-1), 3u);
  EXPECT_EQ(DaysInMonth(1900, 2), 28u);
  EXPECT_EQ(DaysInMonth(2000, 2), 29u);
  EXPECT_EQ(DaysInMonth(2024, 2), 29u);

  // Before 1970 the day is rounded down, so the second of the day stays positive.
  const DayAndSecond before = SplitUnixSeconds(-1);
  EXPECT_EQ(before.days, -1);
  EXPECT_EQ(before.second_of_day, 86399);
}

// Every day from 1601 to beyond 30827 (the FILETIME range the store takes)
// converts to a date and back, each date one day after the one before.
TEST(CivilDateTest, RoundTripsEveryDayOfTheFileTimeRange) {
  CivilDate previous = CivilFromDays(-kDaysFrom1601To1970 - 1);
  EXPECT_EQ(previous.year, 1600);
  for (int64_t days = -kDaysFrom1601To1970; days < 10'600'000; ++days) {
    const CivilDate date = CivilFromDays(days);
    ASSERT_EQ(DaysFromCivil(date.year, date.month, date.day), days);
    const bool next_day = date.year == previous.year && date.month == previous.month &&
                          date.day == previous.day + 1;
    const bool next_month = date.day == 1 && previous.day == DaysInMonth(previous.year, previous.month) &&
                            (date.month == previous.month + 1 ||
                             (date.month == 1 && previous.month == 12 && date.year == previous.year + 1));
    ASSERT_TRUE(next_day || next_month) << date.year << "-" << date.month << "-" << date.day;
    previous = date;
  }
}

}  // namespace
}  // namespace qx::platform
