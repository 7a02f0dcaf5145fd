#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace qx::platform {
namespace {

void UseZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

// The date reader relies on MakeLocalTime giving what mktime gives, daylight
// saving quirks included: walk two years of local times (crossing every
// change of offset) in zones with summer time north and south, a half-hour
// change, negative summer time, and none, and compare instant and fields.
TEST(MakeLocalTimeTest, AgreesWithMktimeAcrossOffsetChanges) {
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                           "Europe/Dublin", "Asia/Kolkata"}) {
    UseZone(zone);
    std::tm start{};
    start.tm_year = 2019 - 1900;
    start.tm_mday = 1;
    const std::time_t first = timegm(&start);
    for (std::time_t at = first; at < first + 2 * 366 * 86400; at += 4 * 3600 + 17 * 60) {
      std::tm fields{};
      gmtime_r(&at, &fields);  // any field combination, gaps and overlaps included
      fields.tm_isdst = 0;
      std::tm expected_fields = fields;
      std::tm actual_fields = fields;
      const std::time_t expected = std::mktime(&expected_fields);
      const std::time_t actual = MakeLocalTime(&actual_fields);
      ASSERT_EQ(actual, expected) << zone << " " << std::asctime(&fields);
      ASSERT_EQ(actual_fields.tm_hour, expected_fields.tm_hour) << zone;
      ASSERT_EQ(actual_fields.tm_mday, expected_fields.tm_mday) << zone;
      ASSERT_EQ(actual_fields.tm_isdst, expected_fields.tm_isdst) << zone;
    }
  }
  // A change of TZ is followed without anyone calling tzset.
  UseZone("UTC");
  std::tm noon{};
  noon.tm_year = 2011 - 1900;
  noon.tm_mon = 2;
  noon.tm_mday = 1;
  noon.tm_hour = 12;
  std::tm copy = noon;
  const std::time_t in_utc = MakeLocalTime(&copy);
  setenv("TZ", "Europe/Berlin", 1);
  copy = noon;
  EXPECT_EQ(MakeLocalTime(&copy), in_utc - 3600);
  unsetenv("TZ");
}

}  // namespace
}  // namespace qx::platform
