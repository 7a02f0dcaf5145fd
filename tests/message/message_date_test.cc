#include "message/message_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>

#include "message/date_text.h"
#include "platform/file_time.h"

namespace qx {
namespace {

// Each test runs in its own process, so the zone it sets stays its own.
void UseZone(const char* zone) {
  setenv("TZ", zone, 1);
  tzset();
}

// Each zone with the local hour of a summer noon written without a zone.
constexpr std::pair<const char*, const char*> kZones[] = {
    {"UTC", "2011-07-01T12:00:00"},
    {"Europe/Berlin", "2011-07-01T13:00:00"},
    {"America/New_York", "2011-07-01T13:00:00"}};

std::string Parse(const char* text) { return ParseMessageDate(text).value_or("<none>"); }

TEST(MessageDateTest, DatesGiveUtcOrTheLocalDaylightHourInEveryLocalZone) {
  for (const auto& [zone, summer_noon] : kZones) {
    SCOPED_TRACE(zone);
    UseZone(zone);
    EXPECT_EQ(Parse("Tue, 01 Mar 2011 12:00:00 +0100"), "2011-03-01T11:00:00");
    EXPECT_EQ(Parse("01 Mar 11 12:00:00 GMT"), "2011-03-01T12:00:00");
    EXPECT_EQ(Parse("Tue, 01 Mar 2011 12:00:00 -0500 (EST)"), "2011-03-01T17:00:00");
    EXPECT_EQ(Parse("Mon, 31 Dec 2012 23:30:00 -0130"), "2013-01-01T01:00:00");
    // Summer dates: daylight saving is undone before the zone is applied.
    EXPECT_EQ(Parse("Fri, 01 Jul 2011 12:00:00 +0200"), "2011-07-01T10:00:00");
    EXPECT_EQ(Parse("Fri, 01 Jul 2011 12:00:00 -0400"), "2011-07-01T16:00:00");
    // Zone names other than GMT count as no offset.
    EXPECT_EQ(Parse("01 Mar 2011 12:00:00 EST"), "2011-03-01T12:00:00");
    // Winter dates without a zone are printed as given, summer ones with
    // the local daylight hour.
    EXPECT_EQ(Parse("01 Mar 2011 12:00:00 "), "2011-03-01T12:00:00");
    EXPECT_EQ(Parse("01 Jul 2011 12:00:00 "), summer_noon);
  }
}

TEST(MessageDateTest, MissingTokensFailAndOddValuesAreClamped) {
  UseZone("Europe/Berlin");
  for (const char* bad : {"01 Mar 2011 12:00", "Tue, 01 Mar 2011 12:00:00", "Tue,", "", "01 Mar 2011"}) {
    EXPECT_EQ(ParseMessageDate(bad), std::nullopt) << bad;  // the seconds need a blank after them
  }
  EXPECT_EQ(Parse("01 Foo 2011 12:00:00 GMT"), "2011-12-01T12:00:00");
  EXPECT_EQ(Parse("01 mAR 2011 12:00:00 GMT"), "2011-03-01T12:00:00");
  EXPECT_EQ(Parse("40 Mar 2011 12:00:00 GMT"), "2011-03-01T12:00:00");
  EXPECT_EQ(Parse("02 Mar 2011 25:61:61 GMT"), "2011-03-02T00:00:00");
  EXPECT_EQ(Parse("02 Mar 2011 24:00:00 GMT"), "2011-03-03T00:00:00");
  EXPECT_EQ(Parse("02 Mar 99 10:00:00 GMT"), "2099-03-02T10:00:00");
  EXPECT_EQ(Parse("02 Mar 1900 10:00:00 GMT"), "3900-03-02T10:00:00");
  EXPECT_EQ(Parse("Tue,01 Mar 2011 12:00:00 GMT"), "2011-03-01T12:00:00");
  // Absurd numbers are held, never overflowed.
  EXPECT_TRUE(ParseMessageDate("01 Mar 99999999999999999999 12:00:00 +99999999999").has_value());
  EXPECT_TRUE(ParseMessageDate("01 Mar -2147483648 12:00:00 GMT").has_value());
  // The zone carries the largest year into the next one.
  EXPECT_EQ(Parse("31 Dec 2147483647 23:00:00 -0200"), "2147483648-01-01T01:00:00");
}

TEST(DateTextTest, StoreDateTextsRoundTrip) {
  const uint64_t epoch = platform::kUnixEpochAsFileTime;
  const uint64_t march = epoch + 1298980800ULL * platform::kTicksPerSecond;  // 2011-03-01 12:00 UTC
  EXPECT_EQ(StoreDateTextFromFileTime(march + 59 * platform::kTicksPerSecond + 9999999), "2011-03-01T12:00:59");
  EXPECT_EQ(CompactDateTextFromFileTime(march), "20110301T120000");
  EXPECT_EQ(StoreDateTextFromFileTime(0), "1601-01-01T00:00:00");
  EXPECT_EQ(StoreDateTextFromFileTime(0x8000000000000000ULL), std::nullopt);
  EXPECT_EQ(FileTimeFromStoreDateText("2011-03-01T12:00:00"), march);
  for (const char* bad : {"2011-03-01T12:00:0", "2011-03-01T12:00:000", "2011-02-29T12:00:00"}) {
    EXPECT_EQ(FileTimeFromStoreDateText(bad), std::nullopt) << bad;
  }
  SystemTime odd{.year = 2011, .month = 13, .day = 0, .hour = 25, .minute = 60, .second = 60};
  EXPECT_EQ(StoreDateTextFromSystemTime(odd), "2011-01-01T00:00:00");
  EXPECT_EQ(ShiftFileTimeWholeSeconds(epoch - 5000000, 0), epoch);  // toward zero
  EXPECT_EQ(ShiftFileTimeWholeSeconds(epoch - 15000000, 0), epoch - platform::kTicksPerSecond);

  EXPECT_EQ(DisplayDateFromUnixTime(1298980800), "12:00 01 Mar, 2011");
  EXPECT_EQ(DisplayDateFromUnixTime(1298980805), "12:00:05 01 Mar, 2011");
  EXPECT_EQ(StoreDateTextFromDisplayDate("09:05 7 Foo, 11"), "2011-12-07T09:05:00");
  EXPECT_EQ(StoreDateTextFromDisplayDate("09:05 7 Mar 2011"), std::nullopt);
}

}  // namespace
}  // namespace qx
