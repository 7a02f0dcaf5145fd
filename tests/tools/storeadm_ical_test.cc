// storeadm ical run as a real process: a calendar file and a store folder
// of type 5 listed the same way, --props and --json, and the exit codes.

#include <string>

#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

class StoreadmICalTest : public test::StoreTest {
 protected:
  test::ProgramRun Storeadm(const std::string& arguments, bool with_errors = true) {
    return test::RunCommandLine("TZ=UTC " + std::string(QX_BINARY_DIR) + "/storeadm " + arguments +
                                (with_errors ? " 2>&1" : " 2>/dev/null"));
  }
};

const char* const kCalendar =
    "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:Zone\r\nBEGIN:STANDARD\r\nDTSTART:16010101T000000\r\n"
    "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nEND:STANDARD\r\nBEGIN:DAYLIGHT\r\nDTSTART:16010101T000000\r\n"
    "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
    "BEGIN:VEVENT\r\nDTSTART;TZID=Zone:20240105T090000\r\nDTEND;TZID=Zone:20240105T100000\r\n"
    "SUMMARY:Stand-up\\, daily\r\nLOCATION:Room\t1\r\n"
    "RRULE:FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR;UNTIL=20240301T000000Z\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nDTSTART:20240210T120000Z\r\nSUMMARY:\"Quoted\"\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

TEST_F(StoreadmICalTest, FilesAndStoreFoldersListTheirEventsAlike) {
  const std::string folder = mail_root() + "/PO/MAILROOT/MB";
  MakeDirs(folder);
  WriteFile(folder + "/team.ics", kCalendar);
  const std::string listing =
      "2024-01-05T00:00:00\t2024-01-05T01:00:00\tStand-up\\, daily\tRoom 1\t"
      "weekly interval 0 days MO,TU,WE,TH,FR until 2024-03-01T00:00:00\n"
      "2024-02-10T12:00:00\t-\t\"Quoted\"\t-\t-\n";
  test::ProgramRun run = Storeadm("ical " + folder + "/team.ics", false);
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, listing);  // the zone's diagnostic goes to standard error
  run = Storeadm("ical PO MB team.ics", false);
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, listing);

  run = Storeadm("ical PO MB team.ics --json --props PR_SUBJECT,PR_BNP_RecurrenceType,PR_END_DATE", false);
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output,
            "[\n  {\"PR_SUBJECT\": \"Stand-up\\\\, daily\", \"PR_BNP_RecurrenceType\": 1, "
            "\"PR_END_DATE\": \"2024-01-05T01:00:00\"},\n"
            "  {\"PR_SUBJECT\": \"\\\"Quoted\\\"\", \"PR_BNP_RecurrenceType\": 0, \"PR_END_DATE\": null}\n]\n");

  WriteFile(folder + "/empty.ics", "");
  EXPECT_EQ(Storeadm("ical PO MB empty.ics --json").output, "[]\n");

  // Failures: 1 and one line; wrong arguments: 2.
  run = Storeadm("ical " + folder + "/missing.ics");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output, "storeadm: " + folder + "/missing.ics cannot be read: the file cannot be read (error 2)\n");
  run = Storeadm("ical PO MB ../../../../etc/passwd");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output, "storeadm: folder ../../../../etc/passwd of PO/MB cannot be read as a calendar\n");
  EXPECT_EQ(Storeadm("ical http://localhost").exit_code, 1);
  for (const char* wrong : {"ical", "ical a b", "ical x.ics --props PR_NOPE", "ical x.ics --bogus"}) {
    EXPECT_EQ(Storeadm(wrong).exit_code, 2) << wrong;
  }
}

}  // namespace
}  // namespace qx
