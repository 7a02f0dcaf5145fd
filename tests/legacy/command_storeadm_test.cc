// storeadm put, cat and queue, run as an administrator runs them.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/test_store.h"
#include "support/program_run.h"

namespace qx {
namespace {

using test::ProgramRun;

class StoreadmTransferTest : public test::StoreTest {
 protected:
  // Standard error joins the output only when asked, so binary output stays clean.
  ProgramRun Storeadm(const std::string& arguments, bool with_errors = false) {
    std::string command = std::string(QX_BINARY_DIR) + "/storeadm " + arguments +
                          (with_errors ? " 2>&1" : " 2>/dev/null");
    return test::RunCommandLine(command);
  }
};

TEST_F(StoreadmTransferTest, PutThenCatGivesTheSameBytes) {
  const std::string inbox = mail_root() + "/PO/MAILROOT/MB/INBOX";
  MakeDirs(inbox);
  std::string content(20000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 13 % 256);
  WriteFile(root() + "/source.eml", content);

  ProgramRun put = Storeadm("put PO MB Inbox " + root() + "/source.eml A.MAI", true);
  ASSERT_EQ(put.exit_code, 0) << put.output;
  EXPECT_EQ(put.output, "A.MAI: 20000 bytes\n");
  EXPECT_EQ(ReadFile(inbox + "/A.MAI"), content);

  ProgramRun cat = Storeadm("cat PO MB '\\Inbox' A.MAI");
  EXPECT_EQ(cat.exit_code, 0);
  EXPECT_EQ(cat.output, content);

  // Without a name put makes a new message file name.
  ProgramRun named = Storeadm("put PO MB Inbox - < " + root() + "/source.eml", true);
  ASSERT_EQ(named.exit_code, 0) << named.output;
  std::string name = named.output.substr(0, named.output.find(':'));
  EXPECT_EQ(name.size(), 36u) << named.output;
  EXPECT_EQ(ReadFile(inbox + "/" + name), content);

  ProgramRun missing = Storeadm("cat PO MB Inbox NONE.MAI", true);
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.output.find("NONE.MAI is missing or empty"), std::string::npos);
  ProgramRun nowhere = Storeadm("put PO MB NoSuchFolder " + root() + "/source.eml X.MAI", true);
  EXPECT_EQ(nowhere.exit_code, 1) << nowhere.output;
  EXPECT_EQ(Storeadm("cat PO MB Inbox").exit_code, 2);
}

TEST_F(StoreadmTransferTest, QueueShowsEachMessageWithItsFields) {
  const std::string queue = root() + "/queue";
  WriteFile(queue + "/A.MAI",
            "Recipients=ann@example.com\nSender=bob@example.com\nRetries=2\nStatus=Ready\n");
  WriteFile(queue + "/B.MAI", "DomainName=example.org\nPriority=Low\n");
  ProgramRun run = Storeadm("queue " + queue, true);
  ASSERT_EQ(run.exit_code, 0) << run.output;
  const std::string& out = run.output;
  size_t a = out.find("A.MAI\n");
  size_t b = out.find("B.MAI\n");
  ASSERT_NE(a, std::string::npos) << out;
  ASSERT_NE(b, std::string::npos) << out;
  std::string first = out.substr(a, b - a);
  std::string second = out.substr(b);
  EXPECT_NE(first.find("recipients      ann@example.com\n"), std::string::npos) << out;
  EXPECT_NE(first.find("retries         2\n"), std::string::npos) << out;
  EXPECT_NE(first.find("status          Ready\n"), std::string::npos) << out;
  // Fields a file lacks show empty, not the previous message's values.
  EXPECT_NE(second.find("sender          \n"), std::string::npos) << out;
  EXPECT_NE(second.find("domain name     example.org\n"), std::string::npos) << out;
  EXPECT_NE(second.find("retries         0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("2 command messages in " + queue + "\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace qx
