// Calendars written by other software (the test calendars Debian ships with
// python3-icalendar and with evolution-data-server-tests, in
// tests/pim/data) read event by event: start, end and
// summary must match what python3-icalendar reads from the same files
// (data/ical_expected.tsv), except where this reader's rules differ, each
// named below.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "message/date_text.h"
#include "pim/ical_feed.h"
#include "pim/ical_property.h"

namespace qx {
namespace {

const std::string kData = std::string(QX_SOURCE_DIR) + "/tests/pim/data/";

std::string Shown(ICalFeed& feed, const char* name, bool is_date) {
  const ICalPropertyValue value = ICal_GetProperty(feed, name);
  if (value.result != 2) return "-";
  if (!is_date) return value.bytes.substr(0, value.bytes.size() - 1);
  uint64_t file_time = 0;
  std::memcpy(&file_time, value.bytes.data(), sizeof file_time);
  return StoreDateTextFromFileTime(file_time).value_or("?");
}

// "file<TAB>index" -> "start<TAB>end<TAB>summary" as this reader gives them.
std::map<std::string, std::string> ReadAll(std::vector<std::string>* files) {
  std::map<std::string, std::string> events;
  for (const std::string& file : *files) {
    ICalFeed feed;
    EXPECT_TRUE(feed.Open(kData + file)) << file;
    int index = 0;
    for (bool found = feed.FirstItem(); found; found = feed.NextItem(), ++index) {
      events[file + "\t" + std::to_string(index)] = Shown(feed, "PR_START_DATE", true) + "\t" +
                                                    Shown(feed, "PR_END_DATE", true) + "\t" +
                                                    Shown(feed, "PR_SUBJECT", false);
    }
  }
  return events;
}

TEST(ICalRealCalendarsTest, EventsMatchAnotherReaderWhereTheRulesAgree) {
  // Floating times and zones the text does not define are read in the
  // machine's local time: UTC here, as the expected values were written.
  setenv("TZ", "UTC", 1);
  tzset();
  std::ifstream expected_file(kData + "ical_expected.tsv");
  ASSERT_TRUE(expected_file) << "missing " << kData << "ical_expected.tsv";
  std::map<std::string, std::string> expected;
  std::vector<std::string> files;
  for (std::string line; std::getline(expected_file, line);) {
    if (line.starts_with("# ")) {
      files.push_back(line.substr(2, line.find(' ', 2) - 2));
      continue;
    }
    std::istringstream fields(line);
    std::string file, index, rest;
    std::getline(fields, file, '\t');
    std::getline(fields, index, '\t');
    std::getline(fields, rest);
    if (files.empty() || files.back() != file) files.push_back(file);
    expected[file + "\t" + index] = rest;
  }
  ASSERT_GE(files.size(), 30u);

  // Where the rules differ, the value this reader gives instead:
  const std::map<std::string, std::string> differences = {
      // No VTIMEZONE defines Europe/Vienna in the file: this reader takes the
      // machine's local time, python3-icalendar the zone database.
      {"recurrence.ics\t1",
       "2012-03-27T10:00:00\t2012-03-27T18:00:00\tA Recurring event with multiple exdates, one per line."},
      // The same for America/New_York in these lone VEVENTs.
      {"eds-event-6.ics\t0", "2017-02-21T13:49:00\t2017-02-21T14:49:00\tRecurring with detached instance"},
      {"eds-event-6-a.ics\t0",
       "2017-02-25T15:00:00\t2017-02-25T16:00:00\tRecurring with detached instance (3rd instance)"},
      {"eds-event-9.ics\t0", "2017-02-25T16:00:00\t2017-02-25T17:00:00\t2-on-1"},
      // "DTSTART", a blank line, then " ;VALUE=DATE" and " :20031225":
      // a key alone on its line, its value folded after an empty line, is
      // not a property line here (an empty line ends the property).
      {"multiple.ics\t0", "-\t-\t-"},
      {"multiple.ics\t1", "-\t-\t-"},
      // python3-icalendar 4.0.3 refuses this file (an UNTIL in local time
      // in its VTIMEZONE); 08:00 New York summer time is 12:00 UTC. This
      // reader takes the first DAYLIGHT and STANDARD rules of the zone.
      {"america_new_york.ics\t0", "2014-08-29T12:00:00\t-\tan event with a custom tz name"},
  };
  const std::map<std::string, std::string> read = ReadAll(&files);
  size_t agreed = 0;
  for (const auto& [event, value] : read) {
    const auto difference = differences.find(event);
    if (difference != differences.end()) {
      EXPECT_EQ(value, difference->second) << event;
      continue;
    }
    const auto want = expected.find(event);
    ASSERT_NE(want, expected.end()) << "an event the other reader does not see: " << event;
    EXPECT_EQ(value, want->second) << event;
    ++agreed;
  }
  for (const auto& [event, value] : expected) {
    EXPECT_TRUE(read.contains(event)) << "an event this reader does not see: " << event;
  }
  EXPECT_GE(agreed, 29u);
}

}  // namespace
}  // namespace qx
