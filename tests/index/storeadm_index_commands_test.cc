// storeadm's delivery and entry commands run as real processes against a test store.

#include <algorithm>
#include <string>
#include <vector>

#include "index/index_entry.h"
#include "message/message_uid.h"
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
    test::ProgramRun run = test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm " + arguments + " 2>/dev/null");
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
  EXPECT_EQ(Run("deliver PO box Inbox " + root() + "/one.eml").size(), 1u);
  EXPECT_TRUE(Exists(mailbox_ + "/_2.NEW"));
  EXPECT_EQ(Run("deliver PO box Inbox " + root() + "/missing.eml").size(), 0u);
  EXPECT_NE(code, 0);
  EXPECT_EQ(IndexIds().size(), 3u);

  EXPECT_EQ(Run("flags PO box Inbox " + names[0] + " '+\\DELETED'"), Lines{names[0] + " \\RECENT \\DELETED"});
  EXPECT_EQ(code, 0);
  Run("flags PO box Inbox nothere.MAI '+\\SEEN'");
  EXPECT_NE(code, 0);
  EXPECT_EQ(Run("expunge PO box Inbox"), (Lines{names[0], "1 message(s) expunged"}));
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(Exists(Path(names[0])));
  EXPECT_EQ(ReadFile(Path(names[1])), second);
  EXPECT_EQ(IndexIds().size(), 2u);
}

TEST_F(StoreadmIndexCommandsTest, HeadersAndEntryShowWhatAScanWouldTakeWithoutChangingFiles) {
  const std::string v = std::to_string(FolderUidValidity(folder_));
  const std::string message =
      "From: Alice <a@x>\r\nSubject: Hi there\r\nX-UID: " + v + ".90\r\nX-Read: 1\r\n\r\nbody\r\n";
  Put("A.MAI", message);
  Put("_index.xml", "<BASEELEMENT LASTUID=\"41\"/>");
  auto has = [](const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  Lines headers = Run("headers '" + Path("A.MAI") + "'");
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(has(headers, "subject:          Hi there"));
  EXPECT_TRUE(has(headers, "uid:              90"));
  EXPECT_TRUE(has(headers, "flag words:       \\SEEN"));

  Lines entry = Run("entry '" + folder_ + "' A.MAI");
  EXPECT_EQ(code, 0);
  ASSERT_FALSE(entry.empty());
  EXPECT_TRUE(entry[0].starts_with("<ELEMENT ID=\"A.MAI\" UID=\"42\"><MESSAGEDATE/>")) << entry[0];
  EXPECT_NE(entry[0].find("<FLAGSTATUS>\\SEEN</FLAGSTATUS>"), std::string::npos);
  EXPECT_TRUE(has(entry, "folder last uid:   41 (from the folder's index)"));
  EXPECT_TRUE(has(entry, "X-UID rewrite:     X-UID: " + v + ".42\r"));
  EXPECT_EQ(ReadFile(Path("A.MAI")), message);
  Run("entry '" + folder_ + "' MISSING.MAI");
  EXPECT_NE(code, 0);
  Run("headers");
  EXPECT_NE(code, 0);
}

}  // namespace
}  // namespace qx
