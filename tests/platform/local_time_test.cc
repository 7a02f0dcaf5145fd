#include "platform/local_time.h"
#include "platform/zone_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

void UseZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

// Every field a caller may read, as text.
std::string Describe(const std::tm& fields) {
  return std::string(std::asctime(&fields)) + fields.tm_zone + " " + std::to_string(fields.tm_gmtoff) + " " +
         std::to_string(fields.tm_isdst) + " " + std::to_string(fields.tm_yday);
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
  // Local times of instants from 1850 to 2100, inside and outside the span
  // of recorded changes, and odd fields (a 31st of February, hour 24, far
  // years) made into instants, in each way of naming a zone.
  for (const char* zone : {"Europe/Berlin", ":America/New_York", "Australia/Lord_Howe", "Asia/Tokyo", "", "UTC"}) {
    UseZone(zone);
    for (std::time_t at = -3786825600LL; at < 4102444800LL; at += 86400 * 13 + 3607) {
      std::tm expected{};
      std::tm actual{};
      ASSERT_NE(localtime_r(&at, &expected), nullptr);
      ASSERT_TRUE(LocalTimeOf(at, &actual));
      ASSERT_EQ(Describe(actual), Describe(expected)) << zone << " " << at;
    }
    for (const auto& [year, month, day, hour] : {std::tuple{2011, 1, 31, 24}, {2012, 1, 30, 12}, {1000000, 0, 1, 0},
                                                 {1000001, 11, 31, 24}, {-1000001, 0, 1, 0}, {-5000, 6, 15, 3}}) {
      std::tm fields{};
      fields.tm_year = year;
      fields.tm_mon = month;
      fields.tm_mday = day;
      fields.tm_hour = hour;
      std::tm expected_fields = fields;
      std::tm actual_fields = fields;
      EXPECT_EQ(MakeLocalTime(&actual_fields), std::mktime(&expected_fields)) << zone << " " << year;
      EXPECT_EQ(actual_fields.tm_mday, expected_fields.tm_mday) << zone << " " << year;
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

// The table's answers are the C library's at each recorded change, a
// second either side, and between; it declines before the first change and
// from the last on, where the library follows the zone's rule text.
using ZoneTableTest = test::ScratchDirTest;

TEST_F(ZoneTableTest, GivesTheLibraryLocalTimeAroundEveryChange) {
  for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Asia/Kolkata", "UTC"}) {
    UseZone(zone);
    const std::optional<ZoneTable> table = ZoneTable::Load(ZoneTable::FileForTz(zone));
    ASSERT_TRUE(table.has_value()) << zone;
    std::vector<std::time_t> probes = {0, 1300000000};
    for (const int64_t change : table->change_instants()) {
      for (const std::time_t at : {change - 1, change, change + 1, change + 86400 * 40}) probes.push_back(at);
    }
    int answered = 0;
    for (const std::time_t at : probes) {
      std::tm expected{};
      std::tm actual{};
      ASSERT_NE(localtime_r(&at, &expected), nullptr);
      if (!table->LocalFields(at, &actual)) {
        EXPECT_TRUE(at < table->change_instants().front() || at >= table->change_instants().back()) << zone;
        continue;
      }
      ++answered;
      ASSERT_EQ(Describe(actual), Describe(expected)) << zone << " " << at;
    }
    EXPECT_GT(answered, static_cast<int>(probes.size()) / 2) << zone;
  }
  EXPECT_EQ(ZoneTable::FileForTz(nullptr), "/etc/localtime");
  EXPECT_EQ(ZoneTable::FileForTz(":"), "/etc/localtime");
  EXPECT_EQ(ZoneTable::FileForTz(":Asia/Tokyo"), "/usr/share/zoneinfo/Asia/Tokyo");
  EXPECT_FALSE(ZoneTable::Load("/usr/share/zoneinfo/No/Such_Zone").has_value());
  // A cut or damaged zone file gives no table (the C library is asked).
  std::string berlin;
  ASSERT_TRUE(ReadWholeFile("/usr/share/zoneinfo/Europe/Berlin", &berlin));
  for (const size_t cut : {size_t{10}, size_t{60}, berlin.size() / 2, berlin.size() - 200}) {
    Put("zone", berlin.substr(0, cut));
    EXPECT_FALSE(ZoneTable::Load(Native("zone")).has_value()) << cut;
  }
  berlin[32] = '\xff';  // the first block's count of changes
  Put("zone", berlin);
  EXPECT_FALSE(ZoneTable::Load(Native("zone")).has_value());
}

}  // namespace
}  // namespace qx::platform
