// storeadm ls, run as an administrator would run it.

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/test_store.h"
#include "support/program_run.h"

namespace qx {
namespace {

using test::ProgramRun;

class StoreadmLsTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    inbox_ = mail_root() + "/PO/MAILROOT/box/INBOX";
    MakeDirs(inbox_);
    WriteFile(inbox_ + "/A.MAI",
              "From: Ann <ann@example.org>\r\nSubject: zebra\r\nX-Read: 1\r\n"
              "Date: Tue, 01 Mar 2011 12:00:00 +0000\r\n\r\nHello\r\n");
    WriteFile(inbox_ + "/B.MAI",
              "From: bob@example.org\r\nSubject: apple \"pie\"\r\n"
              "Date: Wed, 02 Mar 2011 08:30:00 +0000\r\n\r\nHi\r\n");
  }

  // Standard output only, unless with_errors.
  ProgramRun Storeadm(const std::string& arguments, bool with_errors = false) {
    std::string command = std::string(QX_BINARY_DIR) + "/storeadm " + arguments +
                          (with_errors ? " 2>&1" : " 2>/dev/null");
    return test::RunCommandLine(command);
  }

  std::string inbox_;
};

TEST_F(StoreadmLsTest, OneLinePerMessageBuiltFromTheIndex) {
  ProgramRun run = Storeadm("ls PO box Inbox");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  const std::string size_a = std::to_string(ReadFile(inbox_ + "/A.MAI").size());
  EXPECT_EQ(run.output.find("1\t2011-03-01T12:00:00\tAnn <ann@example.org>\tzebra\t" + size_a +
                            "\t\\"),
            0u)
      << run.output;
  EXPECT_NE(run.output.find("\n2\t2011-03-02T08:30:00\tbob@example.org\tapple \"pie\"\t"),
            std::string::npos)
      << run.output;
  EXPECT_TRUE(Exists(inbox_ + "/_index.xml")) << "the listing built the missing index";

  run = Storeadm("ls PO box '\\Inbox' --unread --json");
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output.find("[\n  {\"uid\": 2, \"id\": \"B.MAI\", \"date\": \"2011-03-02T08:30:00\", "
                            "\"from\": \"bob@example.org\", \"subject\": \"apple \\\"pie\\\"\", "),
            0u)
      << run.output;
  EXPECT_EQ(run.output.find("zebra"), std::string::npos);
  EXPECT_EQ(run.output.substr(run.output.size() - 4), "}\n]\n") << run.output;
  EXPECT_NE(run.output.find("\"size\": 90, \"flags\": \"\\\\RECENT\", \"read\": false}"),
            std::string::npos)
      << run.output;
}

TEST_F(StoreadmLsTest, StylesheetOrdersTheListing) {
  WriteFile(root() + "/by_subject.xsl",
            "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
            "<xsl:template match=\"/\"><BASEELEMENT><xsl:for-each select=\"BASEELEMENT/ELEMENT\">"
            "<xsl:sort select=\"SUBJECT\"/><xsl:copy-of select=\".\"/></xsl:for-each>"
            "</BASEELEMENT></xsl:template></xsl:stylesheet>");
  ProgramRun run = Storeadm("ls PO box Inbox --xsl " + root() + "/by_subject.xsl");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_LT(run.output.find("apple"), run.output.find("zebra")) << run.output;

  WriteFile(root() + "/broken.xsl", "<xsl:stylesheet");
  run = Storeadm("ls PO box Inbox --xsl " + root() + "/broken.xsl", true);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("not well-formed XML"), std::string::npos) << run.output;
}

TEST_F(StoreadmLsTest, UnreadableIndexAndWrongArguments) {
  WriteFile(inbox_ + "/_index.xml", "<BASEELEMENT>");
  ProgramRun run = Storeadm("ls PO box Inbox", true);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("the index of folder \\Inbox could not be read"), std::string::npos)
      << run.output;

  MakeDirs(mail_root() + "/PO/MAILROOT/box/Empty");
  run = Storeadm("ls PO box Empty --json");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, "[]\n");

  EXPECT_EQ(Storeadm("ls PO box").exit_code, 2);
  EXPECT_EQ(Storeadm("ls PO box Inbox --sideways").exit_code, 2);
}

}  // namespace
}  // namespace qx
