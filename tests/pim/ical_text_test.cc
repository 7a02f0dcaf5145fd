// Reading iCalendar text: property lines (folding, parameters, alarms,
// quoted-printable, UTF-16), date-time texts and RRULE values, including
// the hostile forms a feed from the web may hold.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pim/ical_date_time.h"
#include "pim/ical_feed.h"
#include "pim/ical_lines.h"
#include "pim/ical_recurrence.h"
#include "platform/utf16_text.h"

namespace qx {
namespace {

std::string Value(std::string_view text, std::string_view key, int* result = nullptr) {
  std::string value;
  const int got = ICal_GetValue(text, key, &value);
  if (result != nullptr) *result = got;
  return value;
}

std::string Decoded(std::string_view text, std::string_view key, int mode = kICalDecodeBytes) {
  std::string value;
  bool is_wide = false;
  ICal_GetDecodedValue(text, key, &value, true, mode, false, &is_wide);
  return value;
}

// "YYYY-MM-DD HH:MM:SS" of a parsed text, or "none".
std::string Parsed(std::string_view text, std::string_view offset = {}) {
  const std::optional<uint64_t> file_time = ICal_ParseDateTime(text, offset);
  if (!file_time) return "none";
  const CivilTime t = CivilFromFileTime(*file_time);
  char out[40];
  std::snprintf(out, sizeof out, "%04lld-%02u-%02u %02u:%02u:%02u", static_cast<long long>(t.year),
                t.month, t.day, t.hour, t.minute, t.second);
  return out;
}

TEST(ICalLinesTest, KeysAreFoundAtLineStartsOutsideAlarmsAndValuesAreUnfolded) {
  const std::string event =
      "UID:1\r\nDTSTAMP:20110101T000000Z\r\nDTSTART;TZID=Europe:20110315T093000\r\n"
      "BEGIN:VALARM\r\nSUMMARY:the alarm's\r\nDESCRIPTION:alarm\r\nEND:VALARM\r\n"
      "summary:Long meeting\r\n  about\r\n\tplans\r\nXSUMMARY:not this\r\n"
      "LOCATION:Room 1\\nfloor 2\r\n"
      "FREEBUSY;FBTYPE=BUSY-TENTATIVE:19980415T133000Z/19980415T170000Z\r\n"
      "FREEBUSY;FBTYPE=BUSY:19980415T180000Z/19980415T190000Z\r\n";
  int result = -1;
  EXPECT_EQ(Value(event, "SUMMARY", &result), "Long meeting aboutplans");
  EXPECT_EQ(result, kICalValueFound);
  EXPECT_EQ(Value(event, "DTSTART", &result), "TZID=Europe:20110315T093000");
  EXPECT_EQ(result, kICalValueWithParameters);
  EXPECT_EQ(Decoded(event, "DTSTART"), "20110315T093000");
  EXPECT_EQ(Value(event, "UID"), "1");  // at the very start of the text
  EXPECT_EQ(Value(event, "DTST", &result), "");  // a prefix of DTSTAMP and DTSTART is no key
  EXPECT_EQ(result, kICalValueNotFound);
  EXPECT_EQ(Value(event, "DESCRIPTION", &result), "");  // only inside the alarm
  EXPECT_EQ(result, kICalValueNotFound);
  EXPECT_EQ(Value(event, "LOCATION"), "Room 1\r\nfloor 2");
  // A key with its parameters is not taken for a longer parameter value.
  EXPECT_EQ(Decoded(event, "FREEBUSY;FBTYPE=BUSY"), "19980415T180000Z/19980415T190000Z");
  EXPECT_EQ(Decoded(event, "FREEBUSY;FBTYPE=BUSY-TENTATIVE"), "19980415T133000Z/19980415T170000Z");

  // An alarm that never ends hides everything after its start.
  EXPECT_EQ(Value("BEGIN:VALARM\r\nSUMMARY:x\r\n", "SUMMARY", &result), "");
  EXPECT_EQ(result, kICalValueNotFound);
  EXPECT_EQ(Value("SUMMARY:last line without end", "SUMMARY"), "last line without end");
}

// The scan that ends an event and indexes its lines reads the text in
// blocks: markers and line ends are moved across every block boundary.
TEST(ICalLinesTest, MarkersAndLinesAreFoundWhereverTheyFallInTheText) {
  for (size_t pad = 0; pad < 140; ++pad) {
    const std::string event = "X-PAD:" + std::string(pad, 'a') +
                              "\r\nBEGIN:VALARM\r\nSUMMARY:alarm\r\nEnd:VAlarm\r\nSUMMARY:event " +
                              std::to_string(pad) + "\r\n";
    ICalFeed feed;
    feed.OpenText("BEGIN:VEVENT\r\n" + event + "end:vevent\r\nSUMMARY:past the end\r\n");
    ASSERT_TRUE(feed.FirstItem());
    ASSERT_EQ(feed.item(), event) << pad;
    std::string value;
    EXPECT_EQ(ICal_GetValue(feed.component(), "SUMMARY", &value), kICalValueFound);
    EXPECT_EQ(value, "event " + std::to_string(pad));
    std::vector<size_t> starts{0};
    for (size_t at = event.find('\n'); at + 1 < event.size(); at = event.find('\n', at + 1)) starts.push_back(at + 1);
    const auto indexed = feed.component().line_starts();
    EXPECT_EQ(std::vector<size_t>(indexed.begin(), indexed.end()), starts) << pad;
    ASSERT_EQ(feed.component().alarms().size(), 1u);
    EXPECT_EQ(feed.component().alarms()[0].first, event.find("BEGIN:VALARM"));
    EXPECT_EQ(feed.component().alarms()[0].second, event.find("\r\nSUMMARY:event"));
    EXPECT_FALSE(feed.NextItem());
  }
}

// A feed finds its events once; every walk then presents each event with
// the lines, heads and alarms a scan of that event's own text finds, the
// events' records never mixed up whatever their sizes.
TEST(ICalLinesTest, EveryWalkPresentsEachEventAsAScanOfItsTextWould) {
  std::string text = "BEGIN:VCALENDAR\r\nSUMMARY:not in an event\r\n";
  std::vector<std::string> subjects;
  for (int i = 0; i < 40; ++i) {
    subjects.push_back("event " + std::to_string(i));
    text += i % 3 == 0 ? "begin:vevent " : "BEGIN:VEVENT\r\n";
    for (int line = 0; line < i % 7; ++line) text += "X-LINE-" + std::to_string(line) + ":" + std::string(i, 'x') + "\r\n";
    for (int alarm = 0; alarm < i % 3; ++alarm) text += "BEGIN:VALARM\r\nSUMMARY:alarm\r\nEND:VALARM\r\n";
    text += (i % 2 == 0 ? "Summary;LANGUAGE=en:" : "SUMMARY:") + subjects.back() + "\r\n";
    if (i % 5 == 4) text += "BEGIN:VALARM\r\nDESCRIPTION:open to the end\r\n";
    text += "END:VEVENT\r\n";
  }
  ICalFeed feed;
  feed.OpenText(text + "END:VCALENDAR\r\n");
  for (int walk = 0; walk < 2; ++walk) {
    size_t count = 0;
    for (bool found = feed.FirstItem(); found; found = feed.NextItem(), ++count) {
      ASSERT_LT(count, subjects.size());
      const ICalComponent& shown = feed.component();
      const ICalComponent scanned(feed.item());
      const auto starts = shown.line_starts();
      const auto heads = shown.line_heads();
      const auto alarms = shown.alarms();
      EXPECT_EQ(std::vector<size_t>(starts.begin(), starts.end()),
                std::vector<size_t>(scanned.line_starts().begin(), scanned.line_starts().end()))
          << count;
      EXPECT_EQ(std::vector<uint64_t>(heads.begin(), heads.end()),
                std::vector<uint64_t>(scanned.line_heads().begin(), scanned.line_heads().end()))
          << count;
      EXPECT_EQ(std::vector<ICalComponent::Span>(alarms.begin(), alarms.end()),
                std::vector<ICalComponent::Span>(scanned.alarms().begin(), scanned.alarms().end()))
          << count;
      ICalValueView subject;
      ICal_ViewDecodedValue(shown, "SUMMARY", true, kICalDecodeBytes, false, &subject);
      EXPECT_EQ(subject.value, subjects[count]);
    }
    EXPECT_EQ(count, subjects.size());
    EXPECT_FALSE(feed.NextItem());
  }
  feed.Close();
  EXPECT_FALSE(feed.FirstItem());

  // A line whose head matches only with bit 5 set in a byte that is no
  // letter (CR for '-') is compared in full.
  EXPECT_EQ(Value("X\rFOO:wrong\r\nx-foo:right\r\n", "X-FOO"), "right");
  EXPECT_EQ(Value("SUMMARx:wrong\r\nsummary:right\r\n", "SUMMARY"), "right");
}

TEST(ICalLinesTest, QuotedPrintableValuesJoinSoftBreaksAndDecodeOrBecomeEncodedWords) {
  const std::string event =
      "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:Line=0D=0Aone=\r\n two=C3=A9\r\n"
      "SUMMARY;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Caf=E9?;;x=3Dy\r\n"
      "LOCATION;ENCODING=QUOTED-PRINTABLE:bad=ZZ\r\n"
      "COMMENT:=?UTF-8?Q?kept=\r\nX-NEXT:line\r\n"
      "CONTACT;ENCODING=QUOTED-PRINTABLE:soft=\r\nbreak  \r\n";
  EXPECT_EQ(Decoded(event, "DESCRIPTION"), "Line\r\none two\xC3\xA9");
  EXPECT_EQ(Decoded(event, "CONTACT"), "softbreak");
  EXPECT_EQ(Decoded(event, "LOCATION"), "");  // cannot be decoded
  EXPECT_EQ(Decoded(event, "COMMENT"), "=?UTF-8?Q?kept=");  // an encoded word is not soft-broken
  EXPECT_EQ(Decoded(event, "SUMMARY", kICalDecodeEncodedWords),
            "=?ISO-8859-1?Q?Caf=E9=3F?=;;=?ISO-8859-1?Q?x=3Dy?=");
  EXPECT_EQ(Decoded(event, "DESCRIPTION", kICalDecodeEncodedWords).substr(0, 10), "=?UTF-8?Q?");

  std::string wide;
  bool is_wide = false;
  ASSERT_EQ(ICal_GetDecodedValue(event, "DESCRIPTION", &wide, true, kICalDecodeBytes, true, &is_wide),
            kICalValueWithParameters);
  EXPECT_TRUE(is_wide);
  EXPECT_EQ(wide, platform::Utf8ToUtf16Le("Line\r\none two\xC3\xA9"));
  ICal_GetDecodedValue("X:a b \r\n", "X", &wide, true, kICalDecodeBytes, true, &is_wide);
  EXPECT_FALSE(is_wide);  // not quoted-printable: stays narrow, trimmed
  EXPECT_EQ(wide, "a b");
}

TEST(ICalLinesTest, HugeLinesAndGarbageAreReadWithoutHarm) {
  const std::string line(1 << 20, 'x');
  EXPECT_EQ(Value("SUMMARY:" + line + "\r\n", "SUMMARY").size(), line.size());
  std::string garbage;
  uint32_t state = 7;
  for (int i = 0; i < 200000; ++i) garbage += static_cast<char>((state = state * 1103515245 + 12345) >> 24);
  for (const char* key : {"SUMMARY", "DTSTART", "FREEBUSY;FBTYPE=BUSY", "X:"}) {
    Decoded(garbage + "\nSUMMARY;ENCODING=QUOTED-PRINTABLE:=\n=\n=", key);
    Decoded(garbage, key, kICalDecodeEncodedWords);
  }
}

TEST(ICalDateTimeTest, BasicExtendedUtcAndOffsetFormsReadAsUtc) {
  EXPECT_EQ(Parsed("20110315T093000Z"), "2011-03-15 09:30:00");
  EXPECT_EQ(Parsed("20110315T093000"), "2011-03-15 09:30:00");
  EXPECT_EQ(Parsed("20110315"), "2011-03-15 00:00:00");
  EXPECT_EQ(Parsed("2011-03-15T09:30:00-05:00"), "2011-03-15 14:30:00");
  EXPECT_EQ(Parsed("20110315T093000+0100"), "2011-03-15 08:30:00");
  EXPECT_EQ(Parsed("20110315T093000", "+0200"), "2011-03-15 07:30:00");
  EXPECT_EQ(Parsed("20110315T093000", "GMT"), "2011-03-15 09:30:00");
  // The minutes of an offset count.
  EXPECT_EQ(Parsed("20110315T093000+0530"), "2011-03-15 04:00:00");
  EXPECT_EQ(Parsed("20110315T093000", "-0330"), "2011-03-15 13:00:00");
  EXPECT_EQ(Parsed("20110101T003000", "+0100"), "2010-12-31 23:30:00");
  // A sign further than five characters from the end is no offset.
  EXPECT_EQ(Parsed("20110315T093000-05:00:00"), "2011-03-15 09:30:00");

  for (const char* bad : {"2011031", "", "20110230", "20111315T000000", "20110315T250000",
                          "20110315T236100", "ABCD0315", "16001231T235959", "16010101T000000+0100"}) {
    EXPECT_EQ(Parsed(bad), "none") << bad;
  }
  EXPECT_EQ(Parsed("20120229T235959"), "2012-02-29 23:59:59");
  // Fields end at their first other character, in the plain form's length
  // too.
  EXPECT_EQ(Parsed("20110315T09a000"), "2011-03-15 09:00:00");
  EXPECT_EQ(Parsed("2011031XT093000"), "2011-03-01 09:30:00");
  EXPECT_EQ(Parsed("20110315T093000z"), "2011-03-15 09:30:00");
  EXPECT_EQ(Parsed(std::string(1000, '9')), "none");  // no such date
}

TEST(ICalDateTimeTest, NthWeekdayCountsFromTheMonthsStartOrTakesTheLast) {
  // March 2011 began on a Tuesday.
  EXPECT_EQ(NthWeekdayOfMonth(2011, 3, 2, 1), 1u);
  EXPECT_EQ(NthWeekdayOfMonth(2011, 3, 2, 2), 8u);
  EXPECT_EQ(NthWeekdayOfMonth(2011, 3, 0, -1), 27u);
  EXPECT_EQ(NthWeekdayOfMonth(2011, 3, 0, 5), 27u);   // only four Sundays: the last
  EXPECT_EQ(NthWeekdayOfMonth(2011, 3, 1, 99), 28u);
  EXPECT_EQ(NthWeekdayOfMonth(2012, 2, 3, -1), 29u);  // leap day
  EXPECT_EQ(NthWeekdayOfMonth(2011, 13, 0, 1), 0u);
  EXPECT_EQ(NthWeekdayOfMonth(2011, 0, 0, 1), 0u);
}

TEST(ICalRecurrenceTest, RulesTakeTheAppointmentForm) {
  CivilTime july5;
  july5.year = 2011;
  july5.month = 7;
  july5.day = 5;
  RecurrenceRecord rule = ICal_ParseRecurrence("FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR", july5);
  EXPECT_EQ(rule.type, kRecursWeekly);
  EXPECT_EQ(rule.interval, 0);
  EXPECT_EQ(rule.day_of_week_mask, 62);

  rule = ICal_ParseRecurrence("FREQ=MONTHLY;BYDAY=2TU", july5);
  EXPECT_EQ(rule.type, kRecursMonthlyNth);
  EXPECT_EQ(rule.instance, 2);
  EXPECT_EQ(rule.day_of_week_mask, 4);

  rule = ICal_ParseRecurrence("FREQ=YEARLY", july5);
  EXPECT_EQ(rule.type, kRecursYearly);
  EXPECT_EQ(rule.day_of_month, 5);
  EXPECT_EQ(rule.month_of_year, 7);
  EXPECT_EQ(rule.has_end, 0);

  rule = ICal_ParseRecurrence("freq=yearly;\r\n bymonth=10;byday=-1su;until=20300101T000000Z;wkst=MO", july5);
  EXPECT_EQ(rule.type, kRecursYearlyNth);
  EXPECT_EQ(rule.instance, -1);
  EXPECT_EQ(rule.month_of_year, 10);
  EXPECT_EQ(rule.week_start, 2);
  EXPECT_EQ(rule.has_end, 1);
  EXPECT_EQ(rule.end_date, *ICal_ParseDateTime("20300101T000000Z"));

  rule = ICal_ParseRecurrence("FREQ=MONTHLY;COUNT=10;INTERVAL=3;BYMONTHDAY=31", july5);
  EXPECT_EQ(rule.type, kRecursMonthly);
  EXPECT_EQ(rule.day_of_month, 31);
  EXPECT_EQ(rule.occurrences, 10);
  EXPECT_EQ(rule.interval, 3);
  EXPECT_EQ(rule.has_end, 1);
}

TEST(ICalRecurrenceTest, HostileRulesGiveNumbersNeverACrash) {
  std::string parts = "FREQ=WEEKLY";
  for (int i = 0; i < 2000; ++i) parts += ";BYDAY=" + std::to_string(i % 7) + "MO;X" + std::to_string(i) + "=1";
  RecurrenceRecord rule = ICal_ParseRecurrence(parts, CivilTime{});
  EXPECT_EQ(rule.type, kRecursWeekly);
  EXPECT_EQ(rule.day_of_week_mask, 2);

  rule = ICal_ParseRecurrence("FREQ=MONTHLY;BYDAY=99MO;COUNT=99999999999999;INTERVAL=-5", CivilTime{});
  EXPECT_EQ(rule.instance, 99);
  EXPECT_EQ(rule.type, kRecursMonthlyNth);
  EXPECT_EQ(rule.occurrences, INT32_MAX);
  EXPECT_EQ(rule.interval, -5);

  rule = ICal_ParseRecurrence(";;=;FREQ;FREQ=HOURLY;UNTIL=garbage;;", CivilTime{});
  EXPECT_EQ(rule.type, kRecursDaily);
  EXPECT_EQ(rule.has_end, 1);
  EXPECT_EQ(rule.end_date, 0u);
}

}  // namespace
}  // namespace qx
