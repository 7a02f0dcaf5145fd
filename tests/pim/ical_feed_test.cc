// Calendar files read as store folders of type 5 through the exported
// store-item interface: the walk over VEVENTs, property reads with their
// conversions, zones, broken files, and names that would leave the store.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/utf16_text.h"
#include "qxstore.h"
#include "store/item_folder_fixture.h"

namespace qx {
namespace {

class ICalFeedTest : public test::ItemFolderTest {
 protected:
  void SetUp() override {
    ItemFolderTest::SetUp();
    MakeDirs(FolderDir(""));
  }
  void Calendar(const std::string& name, const std::string& text) { WriteFile(FolderDir(name), text); }

  static std::string Date(const char* name) {
    uint64_t file_time = 0;
    if (!Value(name, &file_time)) return "<none>";
    const time_t seconds = static_cast<time_t>(file_time / 10000000 - 11644473600ULL);
    struct tm fields{};
    gmtime_r(&seconds, &fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &fields);
    return text;
  }
  static int32_t Number(const char* name) {
    int32_t value = -12345;
    Value(name, &value);
    return value;
  }
  // Subjects of every event of the open folder.
  static std::string Walk() {
    std::string subjects;
    for (uint32_t found = StoreFolder_FindFirstItem(); found != 0; found = StoreFolder_FindNextItem()) {
      subjects += Text("PR_SUBJECT") + "|";
    }
    return subjects;
  }
};

const char* const kEuropeCalendar =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTIMEZONE\r\nTZID:Europe\r\n"
    "BEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\n"
    "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\nDTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\n"
    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
    "BEGIN:VEVENT\r\nUID:a\r\nDTSTART;TZID=Europe:20110315T093000\r\nDTEND;TZID=Europe:20110315T103000\r\n"
    "SUMMARY:March meeting\r\nLOCATION:Room 1\r\nCLASS:PRIVATE\r\n"
    "X-MICROSOFT-CDO-ALLDAYEVENT:TRUE\r\nX-MICROSOFT-CDO-BUSYSTATUS:2\r\n"
    "RRULE:FREQ=MONTHLY;BYDAY=2TU;UNTIL=20111231T235959Z\r\n"
    "BEGIN:VALARM\r\nSUMMARY:Reminder\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"
    "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:Line=0D=0Aone=\r\n two\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nDTSTART;TZID=Europe:20110410T093000\r\nDTEND:20110410T103000Z\r\n"
    "BEGIN:VALARM\r\nSUMMARY:Only the alarm's\r\nEND:VALARM\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20110705\r\nSUMMARY:Caf\xC3\xA9\r\nRRULE:FREQ=YEARLY\r\n"
    "FREEBUSY;FBTYPE=BUSY:19980415T133000Z/19980415T170000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

TEST_F(ICalFeedTest, EventsReadWithTheirZoneConversionsAndRecurrence) {
  Calendar("cal.ics", kEuropeCalendar);
  ASSERT_EQ(StoreFolder_Open("PO", "MB", "cal.ics", 5, 1), 1u);
  ASSERT_EQ(StoreFolder_FindFirstItem(), 1u);
  EXPECT_EQ(Date("PR_START_DATE"), "2011-03-15 08:30");
  EXPECT_EQ(Date("PR_BNP_End"), "2011-03-15 09:30");
  EXPECT_EQ(Date("PR_START_DATE_ALLDAY"), "2011-03-15 00:00");
  EXPECT_EQ(Text("PR_SUBJECT"), "March meeting");
  EXPECT_EQ(Text("pr_location"), "Room 1");
  EXPECT_EQ(Text("PR_BODY"), "Line\r\none two");
  EXPECT_EQ(Number("PR_SENSITIVITY"), 2);
  EXPECT_EQ(Number("PR_BNP_AllDayEvent"), 1);
  EXPECT_EQ(Number("PR_BNP_BusyStatus"), 2);
  EXPECT_EQ(Number("PR_BNP_IsRecurring"), 1);
  EXPECT_EQ(Number("PR_BNP_RecurrenceType"), 3);
  EXPECT_EQ(Number("PR_BNP_RecurrenceInstance"), 2);
  EXPECT_EQ(Number("PR_BNP_RecurrenceDayOfWeekMask"), 4);
  EXPECT_EQ(Number("PR_BNP_RecurrenceDayOfMonth"), 15);  // taken from the start before BYDAY
  EXPECT_EQ(Date("PR_BNP_PatternEndDate"), "2011-12-31 23:59");
  EXPECT_EQ(Date("PR_BNP_NoEndDate"), "2011-12-31 23:59");
  EXPECT_EQ(Text("PR_BNP_FB_Busy"), "<0>");
  EXPECT_EQ(Text("PR_NOT_ICAL"), "<-1>");
  EXPECT_EQ(Text("QX_MAILBOX"), "<-1>");  // the feed answers for itself

  ASSERT_EQ(StoreFolder_FindNextItem(), 1u);
  EXPECT_EQ(Date("PR_START_DATE"), "2011-04-10 07:30");
  EXPECT_EQ(Date("PR_END_DATE"), "2011-04-10 10:30");
  EXPECT_EQ(Text("PR_SUBJECT"), "<0>");  // the alarm's summary is not the event's
  EXPECT_EQ(Number("PR_BNP_IsRecurring"), 0);
  EXPECT_EQ(Number("PR_BNP_RecurrenceInterval"), 1);
  EXPECT_EQ(Number("PR_BNP_RecurrenceType"), 0);

  ASSERT_EQ(StoreFolder_FindNextItem(), 1u);
  EXPECT_EQ(Date("PR_START_DATE"), "2011-07-05 00:00");  // a date stays a date
  EXPECT_EQ(Number("PR_BNP_RecurrenceType"), 5);
  EXPECT_EQ(Number("PR_BNP_RecurrenceDayOfMonth"), 5);
  EXPECT_EQ(Number("PR_BNP_RecurrenceMonthOfYear"), 7);
  EXPECT_EQ(Text("PR_BNP_FB_Busy"), "19980415T133000Z/19980415T170000Z");
  void* value = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(StoreItem_GetProperty("PR_SUBJECT_W", &value, &size), 2);
  const std::string wide = platform::Utf8ToUtf16Le("Caf\xC3\xA9");
  ASSERT_EQ(size, wide.size() + 2);
  EXPECT_EQ(std::memcmp(value, wide.data(), wide.size()), 0);
  EXPECT_EQ(std::memcmp(static_cast<char*>(value) + wide.size(), "\0\0", 2), 0);
  StoreItem_FreeProperty(value);

  EXPECT_EQ(StoreFolder_FindNextItem(), 0u);
  EXPECT_EQ(Text("PR_SUBJECT"), "<0>");
  EXPECT_EQ(StoreFolder_FindFirstItem(), 1u);  // the walk starts over
  EXPECT_EQ(Text("PR_SUBJECT"), "March meeting");
  EXPECT_EQ(StoreFolder_Close(), 1u);
  EXPECT_EQ(StoreFolder_FindFirstItem(), 0u);
}

TEST_F(ICalFeedTest, BrokenCalendarsGiveWhatTheyHoldAndNeverCrash) {
  Calendar("no_end.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:one\r\nEND:VEVENT\r\n"
                         "BEGIN:VEVENT\r\n\r\n  SUMMARY:two\r\nDTSTART:2011031\r\n");
  ASSERT_EQ(StoreFolder_Open("PO", "MB", "no_end.ics", 5, 1), 1u);
  EXPECT_EQ(Walk(), "one|two|");
  EXPECT_EQ(Text("PR_START_DATE"), "<0>");
  StoreFolder_FindFirstItem();
  StoreFolder_FindNextItem();
  EXPECT_EQ(Text("PR_START_DATE"), "<0>");  // seven characters: no date

  std::string garbage("BEGIN:VEVENT\r\nSUMMARY:x\0y\r\nEND:VEVENT\r\n", 38);
  uint32_t state = 99;
  for (int i = 0; i < 300000; ++i) garbage += static_cast<char>((state = state * 1103515245 + 12345) >> 24);
  Calendar("garbage.ics", garbage);
  ASSERT_EQ(StoreFolder_Open("PO", "MB", "garbage.ics", 5, 1), 1u);
  EXPECT_EQ(Walk(), "x|");  // the text ends at its first NUL

  Calendar("empty.ics", "");
  EXPECT_EQ(StoreFolder_Open("PO", "MB", "empty.ics", 5, 1), 1u);
  EXPECT_EQ(Walk(), "");
  EXPECT_EQ(StoreFolder_Open("PO", "MB", "missing.ics", 5, 1), 0u);
  EXPECT_EQ(Walk(), "");
}

TEST_F(ICalFeedTest, FolderTextsThatWouldLeaveTheStoreOpenNothing) {
  WriteFile(root() + "/outside.ics", "BEGIN:VEVENT\r\nSUMMARY:secret\r\nEND:VEVENT\r\n");
  MakeDirs(mail_root() + "/PO/MAILROOT/MB2");
  WriteFile(mail_root() + "/PO/MAILROOT/MB2/cal.ics", "BEGIN:VEVENT\r\nSUMMARY:other\r\nEND:VEVENT\r\n");
  for (const auto& [postoffice, mailbox, folder] :
       {std::tuple{"PO", "MB", "../../../../outside.ics"}, {"PO", "MB", "..\\MB2\\cal.ics"},
        {"PO", "..", "../outside.ics"}, {"PO", "MB/../MB2", "cal.ics"}, {"..", "x", "y"},
        {"PO", "MB", "x http://example.org/c.ics"}, {"PO", "MB", "/etc/passwd#http://x/"}}) {
    EXPECT_EQ(StoreFolder_Open(postoffice, mailbox, folder, 5, 1), 0u) << mailbox << " " << folder;
    EXPECT_EQ(Walk(), "");
  }
  // A link in the mailbox that leads out of the store is not followed.
  ASSERT_EQ(symlink((root() + "/outside.ics").c_str(), FolderDir("link.ics").c_str()), 0);
  EXPECT_EQ(StoreFolder_Open("PO", "MB", "link.ics", 5, 1), 0u);
  EXPECT_EQ(Walk(), "");
  // Inside the store, subfolders and a leading separator are fine.
  MakeDirs(FolderDir("Sub"));
  Calendar("Sub/in.ics", "BEGIN:VEVENT\r\nSUMMARY:inside\r\nEND:VEVENT\r\n");
  ASSERT_EQ(StoreFolder_Open("PO", "MB", "\\Sub\\in.ics", 5, 1), 1u);
  EXPECT_EQ(Walk(), "inside|");
  // A web address without a path after its host is not fetched.
  EXPECT_EQ(StoreFolder_Open("PO", "MB", "http://localhost", 5, 1), 0u);
}

}  // namespace
}  // namespace qx
