// Offsets of VTIMEZONE rules, checked against the C library's time-zone
// database (TZ set, localtime_r): for northern and southern zones, whole-
// and half-hour ones, every hour for a day and a half on either side of
// both change-overs of two years.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "pim/ical_date_time.h"
#include "pim/ical_time_zone.h"
#include "platform/civil_date.h"
#include "platform/diagnostics.h"

namespace qx {
namespace {

struct Zone {
  const char* name;     // in the C library's database
  const char* rules;    // the VTIMEZONE as calendar programs write it
};

std::string Rule(const char* kind, const char* start, const char* rrule, const char* from, const char* to) {
  return std::string("BEGIN:") + kind + "\r\nDTSTART:" + start + "\r\nRRULE:" + rrule +
         "\r\nTZOFFSETFROM:" + from + "\r\nTZOFFSETTO:" + to + "\r\nEND:" + kind + "\r\n";
}

std::string VTimeZone(const char* tzid, const std::string& rules) {
  return "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:" + std::string(tzid) + "\r\n" + rules +
         "END:VTIMEZONE\r\nBEGIN:VEVENT\r\nDTSTART;TZID=" + tzid + ":20240101T000000\r\nEND:VEVENT\r\n";
}

TimeZoneRecord ZoneOf(const std::string& text) {
  TimeZoneRecord zone;
  ICal_ParseTimeZone(text, "DTSTART;TZID=x:20240101T000000\r\n", &zone);
  return zone;
}

class ICalTimeZoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    saved_tz_ = tz != nullptr ? tz : "";
    had_tz_ = tz != nullptr;
  }
  void TearDown() override {
    if (had_tz_) {
      setenv("TZ", saved_tz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static bool UseZone(const char* name) {
    if (access(("/usr/share/zoneinfo/" + std::string(name)).c_str(), R_OK) != 0) return false;
    setenv("TZ", name, 1);
    tzset();
    return true;
  }

 private:
  std::string saved_tz_;
  bool had_tz_ = false;
};

uint64_t WallClockFileTime(time_t instant, long* offset) {
  struct tm fields{};
  localtime_r(&instant, &fields);
  *offset = fields.tm_gmtoff;
  return static_cast<uint64_t>(instant + fields.tm_gmtoff + platform::kSecondsFrom1601To1970) *
         platform::kTicksPerSecond;
}

// True when the wall-clock time `wall` with `offset` is a moment the zone
// database shows as that wall-clock time (one of two in the hour a clock
// goes back).
bool IsReadingOf(uint64_t wall, int64_t offset) {
  const time_t instant = static_cast<time_t>(wall / platform::kTicksPerSecond) -
                         platform::kSecondsFrom1601To1970 - offset;
  long database_offset = 0;
  return WallClockFileTime(instant, &database_offset) == wall && database_offset == offset;
}

TEST_F(ICalTimeZoneTest, RulesGiveTheDatabasesOffsetEveryHourAroundEachChangeOver) {
  const std::vector<Zone> zones = {
      {"Europe/Berlin", "+0100"},
      {"America/New_York", "-0500"},
      {"Australia/Sydney", "+1000"},
      {"Australia/Adelaide", "+0930"},
      {"America/St_Johns", "-0330"},
  };
  const std::string rules[] = {
      Rule("STANDARD", "19701025T030000", "FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", "+0200", "+0100") +
          Rule("DAYLIGHT", "19700329T020000", "FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", "+0100", "+0200"),
      Rule("DAYLIGHT", "19700308T020000", "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "-0500", "-0400") +
          Rule("STANDARD", "19701101T020000", "FREQ=YEARLY;BYMONTH=11;BYDAY=1SU", "-0400", "-0500"),
      Rule("STANDARD", "19700405T030000", "FREQ=YEARLY;BYMONTH=4;BYDAY=1SU", "+1100", "+1000") +
          Rule("DAYLIGHT", "19701004T020000", "FREQ=YEARLY;BYMONTH=10;BYDAY=1SU", "+1000", "+1100"),
      Rule("STANDARD", "19700405T030000", "FREQ=YEARLY;BYMONTH=4;BYDAY=1SU", "+1030", "+0930") +
          Rule("DAYLIGHT", "19701004T020000", "FREQ=YEARLY;BYMONTH=10;BYDAY=1SU", "+0930", "+1030"),
      Rule("STANDARD", "19701101T020000", "FREQ=YEARLY;BYMONTH=11;BYDAY=1SU", "-0230", "-0330") +
          Rule("DAYLIGHT", "19700308T020000", "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "-0330", "-0230"),
  };
  int checked_zones = 0;
  for (size_t z = 0; z < zones.size(); ++z) {
    if (!UseZone(zones[z].name)) continue;
    ++checked_zones;
    const TimeZoneRecord zone = ZoneOf(VTimeZone(zones[z].name, rules[z]));
    ASSERT_EQ(zone.tzid, zones[z].name);
    int change_overs = 0;
    int second_readings = 0;
    for (int year : {2023, 2024}) {
      const time_t year_start = (platform::DaysFromCivil(year, 1, 1)) * platform::kSecondsPerDay;
      long previous = 0;
      WallClockFileTime(year_start, &previous);
      for (time_t hour = year_start; hour < year_start + 366 * 86400; hour += 3600) {
        long offset = 0;
        WallClockFileTime(hour, &offset);
        if (offset == previous) continue;
        previous = offset;
        ++change_overs;
        for (time_t u = hour - 36 * 3600; u <= hour + 36 * 3600; u += 1800) {
          long expected = 0;
          const uint64_t wall = WallClockFileTime(u, &expected);
          const int64_t read = ICal_ZoneOffsetSeconds(zone, wall);
          ASSERT_EQ(read, UtcOffsetSeconds(ICal_ZoneOffset(zone, wall)));
          ASSERT_TRUE(IsReadingOf(wall, read))
              << zones[z].name << " wall clock " << CivilFromFileTime(wall).month << "/"
              << CivilFromFileTime(wall).day << " " << CivilFromFileTime(wall).hour << ":"
              << CivilFromFileTime(wall).minute << " read with offset " << read << ", expected " << expected;
          if (read != expected) ++second_readings;
        }
      }
    }
    EXPECT_EQ(change_overs, 4) << zones[z].name;
    // Only the repeated hour as the clock goes back reads differently (its
    // first reading is taken), half-hourly samples: two per year.
    EXPECT_EQ(second_readings, 4) << zones[z].name;
    // The change-overs kept are those of the year read last: a summer of
    // another year read next is read with that year's.
    for (const char* wall : {"20231231T233000", "20240701T120000", "20240101T003000", "20230701T120000"}) {
      const uint64_t local = *ICal_ParseDateTime(wall);
      const int64_t seconds = ICal_ZoneOffsetSeconds(zone, local);
      EXPECT_EQ(seconds, UtcOffsetSeconds(ICal_ZoneOffset(zone, local))) << zones[z].name << " " << wall;
    }
  }
  if (checked_zones == 0) GTEST_SKIP() << "no time-zone database (tzdata)";
}

TEST_F(ICalTimeZoneTest, ZonesWithoutChangeOversUseTheirFixedOffsetOrTheMachines) {
  // As Exchange writes a zone without daylight saving: both rules, no RRULE.
  const std::string exchange =
      "BEGIN:VTIMEZONE\r\nTZID:Tokyo Standard Time\r\nBEGIN:STANDARD\r\nDTSTART:16010101T000000\r\n"
      "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nEND:STANDARD\r\nBEGIN:DAYLIGHT\r\n"
      "DTSTART:16010101T000000\r\nTZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nEND:DAYLIGHT\r\n"
      "END:VTIMEZONE\r\n";
  const TimeZoneRecord tokyo = ZoneOf(exchange);
  const uint64_t noon = *ICal_ParseDateTime("20170224T120000");
  unsetenv("QXSTORE_DIAG");
  platform::ReloadDiagnosticsSettings();
  testing::internal::CaptureStdout();
  EXPECT_EQ(ICal_ZoneOffset(tokyo, noon), "+0900");
  EXPECT_EQ(ICal_ZoneOffset(tokyo, noon), "+0900");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error Occurred Converting StandardChangeOver::SystemTimeToFileTime: 87\n"
            "Error Occurred Converting DaylightChangeOver::SystemTimeToFileTime: 87\n");

  const TimeZoneRecord kolkata = ZoneOf(
      "BEGIN:VTIMEZONE\r\nTZID:India\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
      "TZOFFSETFROM:+0530\r\nTZOFFSETTO:+0530\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(ICal_ZoneOffset(kolkata, noon), "+0530");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  // Times are absolute: the zone is not read (the next item may ask again).
  TimeZoneRecord skipped;
  ICal_ParseTimeZone(exchange, "DTSTART:20170224T120000Z\r\n", &skipped);
  EXPECT_FALSE(skipped.parsed);
  EXPECT_TRUE(skipped.tzid.empty());

  // No zone at all: the machine's local time.
  const TimeZoneRecord none = ZoneOf("BEGIN:VCALENDAR\r\n");
  EXPECT_TRUE(none.parsed);
  if (UseZone("Asia/Kolkata")) {
    EXPECT_EQ(ICal_ZoneOffset(none, noon), "+0530");
  }
  if (UseZone("America/New_York")) {
    EXPECT_EQ(ICal_ZoneOffset(none, noon), "-0500");
    EXPECT_EQ(ICal_ZoneOffset(none, *ICal_ParseDateTime("20170724T120000")), "-0400");
  }
}

}  // namespace
}  // namespace qx
