// storeadm's store-item commands (items, item, body) run as real processes
// against a test store.

#include <string>

#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

class StoreadmItemCommandsTest : public test::StoreTest {
 protected:
  std::string Folder(const std::string& name) const { return mail_root() + "/PO/MAILROOT/MB/" + name; }

  // Runs storeadm with its standard error folded into the output.
  test::ProgramRun Storeadm(const std::string& arguments) {
    return test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm " + arguments + " 2>&1");
  }
};

TEST_F(StoreadmItemCommandsTest, ItemsItemAndBodyReadAndWriteThroughTheItemInterface) {
  WriteFile(Folder("Inbox") + "/A.MAI",
            "From: a@example.org\r\nSubject: first\r\nDate: Tue, 01 Mar 2011 12:00:00 +0000\r\n"
            "Content-Type: multipart/alternative; boundary=\"=_b\"\r\n\r\n--=_b\r\n"
            "Content-Type: text/plain\r\n\r\nplain text\r\n--=_b\r\nContent-Type: text/html\r\n\r\n"
            "<b>html</b>\r\n--=_b--\r\n");
  WriteFile(Folder("Inbox") + "/B.MAI", "From: b@example.org\r\nSubject: second\r\n\r\nbody\r\n");
  WriteFile(Folder("Tasks") + "/T.MAI", "Subject: task\r\n\r\nto do\r\n");

  test::ProgramRun run = Storeadm("items PO MB Inbox");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output,
            "A.MAI\t2011-03-01T12:00:00\ta@example.org\tfirst\t\\RECENT\n"
            "B.MAI\t\tb@example.org\tsecond\t\\RECENT\n");

  run = Storeadm("item set PO MB Inbox B.MAI PR_SENSITIVITY 2");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, "2\n");
  run = Storeadm("items PO MB Inbox --props QX_ITEM_ID,PR_SENSITIVITY,QX_MAILBOX --json");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output,
            "[\n  {\"QX_ITEM_ID\": \"A.MAI\", \"PR_SENSITIVITY\": null, \"QX_MAILBOX\": \"MB\"},\n"
            "  {\"QX_ITEM_ID\": \"B.MAI\", \"PR_SENSITIVITY\": 2, \"QX_MAILBOX\": \"MB\"}\n]\n");

  run = Storeadm("item set PO MB Tasks T.MAI PR_BNP_PercentComplete 42.5 --type 3");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(Storeadm("item get PO MB Tasks T.MAI PR_BNP_PercentComplete --type 3").output, "42.5\n");
  EXPECT_NE(ReadFile(Folder("Tasks") + "/_index.xml").find("<PERCCOMP>     42.50</PERCCOMP>"),
            std::string::npos);

  EXPECT_EQ(Storeadm("body PO MB Inbox A.MAI").output, "plain text\r\n");
  EXPECT_EQ(Storeadm("body PO MB Inbox A.MAI --html").output, "<b>html</b>\r\n");
  EXPECT_EQ(Storeadm("body PO MB Inbox A.MAI --calendar").output, "");

  // Failures give 1 and one line; wrong arguments give 2.
  for (const char* failing :
       {"item get PO MB Inbox Z.MAI PR_SUBJECT", "item set PO MB Inbox A.MAI PR_NOPE x",
        "item set PO MB Inbox A.MAI PR_SENSITIVITY high", "items PO MB Nowhere --type 1",
        "body PO MB Inbox ../Inbox/A.MAI"}) {
    run = Storeadm(failing);
    EXPECT_EQ(run.exit_code, 1) << failing << "\n" << run.output;
    EXPECT_EQ(run.output.find("storeadm: "), 0u) << failing;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << failing << "\n" << run.output;
  }
  for (const char* misused : {"item", "item put PO MB Inbox A.MAI PR_SUBJECT", "items PO MB",
                              "items PO MB Inbox --type 9", "body PO MB Inbox A.MAI --pdf"}) {
    EXPECT_EQ(Storeadm(misused).exit_code, 2) << misused;
  }
}

}  // namespace
}  // namespace qx
