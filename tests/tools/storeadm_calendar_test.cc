// storeadm calendar run as a real process: appointments added through the
// store-item interface, listed by bucket, removed, and a calendar whose
// files disagree found out and repaired.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

class StoreadmCalendarTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(mail_root() + "/PO/MAILROOT/MB");
  }
  std::string Calendar(const std::string& name) const { return mail_root() + "/PO/MAILROOT/MB/Calendar/" + name; }
  test::ProgramRun Storeadm(const std::string& arguments) {
    return test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm calendar " + arguments + " 2>&1");
  }
  // Adds an appointment and returns its identifier.
  std::string Add(const std::string& arguments) {
    test::ProgramRun run = Storeadm("add PO MB " + arguments);
    EXPECT_EQ(run.exit_code, 0) << run.output;
    return run.output.substr(0, run.output.find('\n'));
  }
};

TEST_F(StoreadmCalendarTest, AddsListsByBucketAndRemoves) {
  const std::string meeting = Add("2011-03-15T09:00 2011-03-15T10:00 Meeting --location 'Room 1'");
  const std::string trip = Add("2011-03-15T12:00:00 2011-04-02T12:00:00 Trip");
  ASSERT_EQ(ReadFile(Calendar("Y11M03D15.CAL")), "1300179600\t1300183200\t" + meeting);
  ASSERT_EQ(ReadFile(Calendar("Y11.CAL")), "1300190400\t1301745600\t" + trip);
  EXPECT_NE(ReadFile(Calendar(meeting)).find("X-Location: Room 1\r\n"), std::string::npos);

  const std::string both = "2011-03-15T09:00:00Z\t2011-03-15T10:00:00Z\t" + meeting + "\tMeeting\tRoom 1\n" +
                           "2011-03-15T12:00:00Z\t2011-04-02T12:00:00Z\t" + trip + "\tTrip\t\n";
  EXPECT_EQ(Storeadm("PO MB").output, both);
  EXPECT_EQ(Storeadm("PO MB --day 2011-03-15").output, both);
  EXPECT_EQ(Storeadm("PO MB --month 2011-04").output,
            "2011-03-15T12:00:00Z\t2011-04-02T12:00:00Z\t" + trip + "\tTrip\t\n");
  EXPECT_EQ(Storeadm("PO MB --day 2011-03-16 --json").output,
            "[\n  {\"identifier\": \"" + trip + "\", \"bucket\": \"Y11\", \"start\": \"2011-03-15T12:00:00Z\", "
            "\"end\": \"2011-04-02T12:00:00Z\", \"subject\": \"Trip\", \"location\": \"\"}\n]\n");
  EXPECT_EQ(Storeadm("PO MB --year 2012 --json").output, "[]\n");
  EXPECT_EQ(Storeadm("check PO MB").exit_code, 0);

  ASSERT_EQ(Storeadm("remove PO MB " + meeting).exit_code, 0);
  EXPECT_FALSE(Exists(Calendar(meeting)));
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.CAL")));
  test::ProgramRun run = Storeadm("remove PO MB " + meeting);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.output, "storeadm: no appointment " + meeting + " in the Calendar of MB\n");

  EXPECT_EQ(Storeadm("PO NOBODY").exit_code, 1);
  EXPECT_EQ(Storeadm("add PO ../MB 2011-03-15T09:00 2011-03-15T10:00 x").exit_code, 1);
  for (const char* wrong : {"PO", "PO MB --day 2011-02-30", "PO MB --month 2011-13", "PO MB --week 2011",
                            "add PO MB 2011-03-15T10:00 2011-03-15T09:00 backwards",
                            "add PO MB 2040-01-01T00:00 2040-01-01T01:00 late", "check PO MB --fix"}) {
    EXPECT_EQ(Storeadm(wrong).exit_code, 2) << wrong;
  }
}

TEST_F(StoreadmCalendarTest, CheckFindsWhatDisagreesAndRepairRebuildsIt) {
  const std::string kept = Add("2011-03-15T09:00 2011-03-15T10:00 Kept");
  const std::string lost = Add("2011-03-16T09:00 2011-03-16T10:00 Lost");
  const std::string moved = Add("2011-03-17T09:00 2011-03-17T10:00 Moved");
  std::filesystem::remove(Calendar(lost));
  // Another program moved one message's times without telling anyone, and
  // a stray line found its way into a provider file.
  std::string text = ReadFile(Calendar(moved));
  text.replace(text.find("17 Mar"), 6, "18 Mar");
  text.replace(text.find("17 Mar"), 6, "18 Mar");
  WriteFile(Calendar(moved), text);
  WriteFile(Calendar("Y11M03D15.CAL"), ReadFile(Calendar("Y11M03D15.CAL")) + "\nnot an entry");
  WriteFile(Calendar("orphan.MAI"), "Subject: no times\r\n\r\n");

  test::ProgramRun run = Storeadm("check PO MB");
  EXPECT_EQ(run.exit_code, 1);
  for (const std::string& line :
       {lost + ": indexed, but there is no message", lost + ": filed in Y11M03D16, but there is no message",
        moved + ": the index holds other times than the message", moved + ": filed in Y11M03D17 instead of Y11M03D18",
        std::string("calendar: filed in Y11M03D15, but there is no message"), std::string("orphan.MAI: not indexed"),
        std::string("orphan.MAI: the message has no X-StartTime or no X-FinishTime")}) {
    EXPECT_NE(run.output.find(line + "\n"), std::string::npos) << line << "\n" << run.output;
  }
  EXPECT_EQ(run.output.find(kept), std::string::npos);

  run = Storeadm("check PO MB --repair");
  EXPECT_EQ(run.exit_code, 1) << "a message without times cannot be filed";
  EXPECT_NE(run.output.find("still: orphan.MAI: the message has no X-StartTime or no X-FinishTime\n"),
            std::string::npos) << run.output;
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.CAL")), "1300179600\t1300183200\t" + kept);
  EXPECT_FALSE(Exists(Calendar("Y11M03D16.CAL")));
  EXPECT_FALSE(Exists(Calendar("Y11M03D17.CAL")));
  EXPECT_EQ(ReadFile(Calendar("Y11M03D18.CAL")), "1300438800\t1300442400\t" + moved);
  std::filesystem::remove(Calendar("orphan.MAI"));
  run = Storeadm("check PO MB --repair");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, "orphan.MAI: indexed, but there is no message\nrepaired\n");
  EXPECT_EQ(Storeadm("check PO MB").output, "");
}

}  // namespace
}  // namespace qx
