// Bucket keys and appointment time texts are UTC: the same answers under
// zones east and west of Greenwich, one of them half an hour off the hour.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "pim/calendar_bucket.h"
#include "pim/calendar_time_text.h"

namespace qx {
namespace {

constexpr const char* kZones[] = {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "IST-5:30", "NZST-12NZDT,M9.5.0,M4.1.0/3"};

class UnderEveryZone : public ::testing::Test {
 protected:
  template <class Check>
  void ForEachZone(Check check) {
    for (const char* zone : kZones) {
      SCOPED_TRACE(zone);
      setenv("TZ", zone, 1);
      tzset();
      check();
    }
  }
  void TearDown() override {
    unsetenv("TZ");
    tzset();
  }
};

constexpr int64_t k20110315At0900 = 1300179600;

TEST_F(UnderEveryZone, BucketKeysFollowTheUtcDatesOfStartAndEnd) {
  ForEachZone([] {
    EXPECT_EQ(AppointmentBucketKey(k20110315At0900, k20110315At0900 + 3600), "Y11M03D15");
    // 23:30 to 23:59 UTC is one day everywhere here, though not in local time.
    EXPECT_EQ(AppointmentBucketKey(1300231800, 1300233540), "Y11M03D15");
    EXPECT_EQ(AppointmentBucketKey(k20110315At0900, k20110315At0900 + 2 * 86400), "Y11M03");
    EXPECT_EQ(AppointmentBucketKey(k20110315At0900, 1302426000), "Y11");       // to 10 April
    EXPECT_EQ(AppointmentBucketKey(1324717200, 1325581200), "Y");              // Dec 2011 to Jan 2012
    EXPECT_EQ(AppointmentBucketKey(1104573600, 1107252000), "Y5");             // Jan to Feb 2005, unpadded
    EXPECT_EQ(AppointmentBucketKey(1104573600, 1104577200), "Y05M01D01");
    EXPECT_EQ(AppointmentBucketKey(921488400, 921492000), "Y-1M03D15");        // 1999
    EXPECT_EQ(AppointmentBucketKey(2147472000, 2147483647), "Y38M01D19");      // the last 32-bit day
    EXPECT_EQ(AppointmentBucketKey(-86400, -3600), "Y-31M12D31");             // 1969
  });
}

TEST_F(UnderEveryZone, TimeTextsAreWrittenAndReadInUtcWithTheirQuirks) {
  ForEachZone([] {
    EXPECT_EQ(AppointmentTimeText(1300181400), "09:30 15 Mar, 2011");
    EXPECT_EQ(AppointmentTimeText(1300181405), "09:30:05 15 Mar, 2011");
    EXPECT_EQ(UnixSecondsFromTimeText("09:30 15 Mar, 2011"), 1300181400);
    EXPECT_EQ(UnixSecondsFromTimeText("  09:30:05 15 mar, 2011"), 1300181405);
    // Two-digit years are after 2000; an hour of 24 is the next midnight.
    EXPECT_EQ(UnixSecondsFromTimeText("09:30 15 Mar, 11"), 1300181400);
    EXPECT_EQ(UnixSecondsFromTimeText("24:00 14 Mar, 2011"), 1300147200);
    // Out-of-range fields read as 0 (clock) or 1 (day); unknown months as December.
    EXPECT_EQ(UnixSecondsFromTimeText("25:61:99 32 Mar, 2011"), 1298937600);
    EXPECT_EQ(UnixSecondsFromTimeText("00:00 01 Foo, 2011"), 1322697600);
    EXPECT_EQ(StoreDateTextFromTimeText("09:30:05 15 Mar, 2011"), "2011-03-15T09:30:05");
    EXPECT_EQ(UnixSecondsFromTimeText("09:30 15 Mar 2011"), std::nullopt);
    EXPECT_EQ(UnixSecondsFromTimeText("0930 15 Mar, 2011"), std::nullopt);
    EXPECT_EQ(StoreDateTextFromTimeText("00:00 01 Jan, 2147483647"), std::nullopt);
  });
}

}  // namespace
}  // namespace qx
