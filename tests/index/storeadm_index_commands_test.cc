// storeadm's delivery commands run as real processes against a test store.

#include <algorithm>
#include <string>
#include <vector>

#include "support/mail_folder_test.h"
#include "support/program_run.h"

namespace qx {
namespace {

using Lines = std::vector<std::string>;

class StoreadmIndexCommandsTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    MailFolderTest::SetUp();
    if (!Exists(std::string(QX_BINARY_DIR) + "/storeadm")) GTEST_SKIP() << "storeadm is not built";
  }
  // Runs storeadm; its standard output lines, and its exit code in `code`.
  Lines Run(const std::string& arguments) {
    test::ProgramRun run = test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm " +
                                                arguments + " 2>/dev/null");
    code = run.exit_code;
    Lines lines;
    for (size_t start = 0, end; start < run.output.size(); start = end + 1) {
      end = run.output.find('\n', start);
      if (end == std::string::npos) end = run.output.size();
      lines.push_back(run.output.substr(start, end - start));
    }
    return lines;
  }
  int code = -1;
};

TEST_F(StoreadmIndexCommandsTest, DeliverFlagAndExpungeKeepFilesAndIndexTogether) {
  const std::string first = "From: a@example.com\r\nSubject: one\r\n\r\nfirst\r\n";
  const std::string second = "From: b@example.com\r\nSubject: two\r\n\r\nsecond\r\n";
  WriteFile(root() + "/one.eml", first);
  WriteFile(root() + "/two.eml", second);

  Lines names = Run("deliver PO box Inbox " + root() + "/one.eml " + root() + "/two.eml");
  ASSERT_EQ(code, 0);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(ReadFile(Path(names[0])), first);
  EXPECT_EQ(ReadFile(Path(names[1])), second);
  Lines expected = names;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(IndexIds(), expected);
  EXPECT_TRUE(Exists(mailbox_ + "/_1.NEW"));
  EXPECT_EQ(Run("deliver PO box Inbox " + root() + "/missing.eml").size(), 0u);
  EXPECT_NE(code, 0);

  const Lines flagged = Run("flags add PO box Inbox " + names[0] + " deleted");
  ASSERT_EQ(flagged.size(), 1u);
  EXPECT_EQ(flagged[0].substr(0, names[0].size() + 1), names[0] + "\t");
  EXPECT_EQ(flagged[0].substr(flagged[0].rfind('\t')), "\t\\RECENT \\DELETED");
  Run("flags add PO box Inbox nothere.MAI seen");
  EXPECT_NE(code, 0);
  EXPECT_EQ(Run("expunge PO box Inbox"), (Lines{names[0], "1 message(s) expunged"}));
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(Exists(Path(names[0])));
  EXPECT_EQ(IndexIds(), Lines{names[1]});
}

}  // namespace
}  // namespace qx
