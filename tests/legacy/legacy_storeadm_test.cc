// storeadm ls, put, cat and queue, run as an administrator runs them.

#include <gtest/gtest.h>

#include <string>

#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::ProgramRun;

class LegacyStoreadmTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    inbox_ = mail_root() + "/PO/MAILROOT/box/INBOX";
    MakeDirs(inbox_);
  }

  // Standard error joins the output only when asked, so binary output stays clean.
  ProgramRun Storeadm(const std::string& arguments, bool with_errors = false) {
    return test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm " + arguments +
                                (with_errors ? " 2>&1" : " 2>/dev/null"));
  }

  std::string inbox_;
};

TEST_F(LegacyStoreadmTest, LsListsOneLinePerMessageFromTheIndex) {
  WriteFile(inbox_ + "/A.MAI", "From: Ann <ann@example.org>\r\nSubject: zebra\r\nX-Read: 1\r\n"
                               "Date: Tue, 01 Mar 2011 12:00:00 +0000\r\n\r\nHello\r\n");
  WriteFile(inbox_ + "/B.MAI", "From: bob@example.org\r\nSubject: apple \"pie\"\r\n"
                               "Date: Wed, 02 Mar 2011 08:30:00 +0000\r\n\r\nHi\r\n");
  ProgramRun run = Storeadm("ls PO box Inbox");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output.find("1\tA.MAI\t2011-03-01T12:00:00\tAnn <ann@example.org>\tzebra\t" +
                            std::to_string(ReadFile(inbox_ + "/A.MAI").size()) + "\t\\"),
            0u) << run.output;

  run = Storeadm("ls PO box '\\Inbox' --unread --json");
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output,
            "[\n  {\"uid\": 2, \"id\": \"B.MAI\", \"date\": \"2011-03-02T08:30:00\", "
            "\"from\": \"bob@example.org\", \"subject\": \"apple \\\"pie\\\"\", "
            "\"size\": 90, \"flags\": \"\\\\RECENT\", \"read\": false}\n]\n");

  WriteFile(inbox_ + "/_index.xml", "<BASEELEMENT>");
  EXPECT_EQ(Storeadm("ls PO box Inbox").exit_code, 1);
}

TEST_F(LegacyStoreadmTest, PutThenCatGivesTheSameBytes) {
  std::string content(20000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 13 % 256);
  WriteFile(root() + "/source.eml", content);
  ProgramRun put = Storeadm("put PO box Inbox " + root() + "/source.eml A.MAI", true);
  ASSERT_EQ(put.exit_code, 0) << put.output;
  EXPECT_EQ(ReadFile(inbox_ + "/A.MAI"), content);
  EXPECT_EQ(Storeadm("cat PO box '\\Inbox' A.MAI").output, content);

  EXPECT_EQ(Storeadm("cat PO box Inbox NONE.MAI").exit_code, 1);
  EXPECT_EQ(Storeadm("put PO box NoSuchFolder " + root() + "/source.eml X.MAI").exit_code, 1);
}

TEST_F(LegacyStoreadmTest, QueueShowsEachMessageWithItsOwnFields) {
  const std::string queue = root() + "/queue";
  WriteFile(queue + "/A.MAI", "Recipients=ann@example.com\nSender=bob@example.com\nRetries=2\n");
  WriteFile(queue + "/B.MAI", "DomainName=example.org\n");
  ProgramRun run = Storeadm("queue " + queue, true);
  ASSERT_EQ(run.exit_code, 0) << run.output;
  // Fields a file lacks show empty, not the previous message's values.
  const size_t b = run.output.find("B.MAI\n");
  EXPECT_NE(run.output.find("retries         0\n", b), std::string::npos) << run.output;
}

}  // namespace
}  // namespace qx
