// storeadm status, run as an administrator would run it.

#include <array>
#include <string>

#include "index/folder_status.h"
#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

class StoreadmStatusTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    mailbox_ = mail_root() + "/PO/MAILROOT/box";
    MakeDirs(mailbox_ + "/Inbox");
  }

  // Exit code and the output (standard output and error together).
  std::pair<int, std::string> Storeadm(const std::string& arguments) {
    test::ProgramRun run =
        test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm " + arguments + " 2>&1");
    return {run.exit_code, run.output};
  }

  static bool Has(const std::string& output, const std::string& text) {
    return output.find(text) != std::string::npos;
  }

  std::string mailbox_;
};

TEST_F(StoreadmStatusTest, ShowsOneFolderOrEveryFolderOfTheMailbox) {
  std::array<uint32_t, kFolderStatusFields> status{0, 1, 0, 2, 3, 1, 10, 4, 6, 0, 0, 77, 0};
  ASSERT_EQ(SetCachedStatus("PO", "box", "Inbox", status.data()), 1u);
  WriteFile(mailbox_ + "/Sent/2024/_index.xml",
            "<BASEELEMENT LASTUID=\"9\"><ELEMENT ID=\"A.MAI\"><FLAGSTATUS>\\SEEN</FLAGSTATUS>"
            "</ELEMENT><ELEMENT ID=\"B.MAI\"><FLAGSTATUS>\\RECENT</FLAGSTATUS></ELEMENT>"
            "</BASEELEMENT>");
  WriteFile(mailbox_ + "/Trash/_index.xml", "<BASEELEMENT");
  MakeDirs(mailbox_ + "/_hidden");

  auto [code, out] = Storeadm("status PO box Inbox");
  EXPECT_EQ(code, 0) << out;
  EXPECT_TRUE(Has(out, "  messages   10\n  seen       4\n  unseen     6\n  recent     6\n")) << out;
  EXPECT_TRUE(Has(out, "  last UID   77\n  raw        0 1 0 2 3 1 10 4 6 0 0 77 0\n")) << out;

  std::tie(code, out) = Storeadm("status PO box Sent");
  EXPECT_EQ(code, 1) << out;
  EXPECT_TRUE(Has(out, "storeadm: no cached status: ")) << out;
  EXPECT_TRUE(Has(out, "/Sent/_FOLDER.DAT is missing or empty\n")) << out;

  std::tie(code, out) = Storeadm("status PO box");
  EXPECT_EQ(code, 0) << out;
  EXPECT_TRUE(Has(out, "Inbox                                  10        6        6        2        3        1         77  _FOLDER.DAT\n")) << out;
  EXPECT_TRUE(Has(out, "Sent/2024                               2        1        1        0        0        0          9  _index.xml (no _FOLDER.DAT)\n")) << out;
  EXPECT_TRUE(Has(out, "Trash                                   -")) << out;
  EXPECT_TRUE(Has(out, "_index.xml does not load")) << out;
  EXPECT_FALSE(Has(out, "_hidden")) << out;
  EXPECT_FALSE(Has(out, "(mailbox directory)")) << out;
  // Looking never writes a cache file.
  EXPECT_FALSE(Exists(mailbox_ + "/Sent/2024/_FOLDER.DAT"));

  std::tie(code, out) = Storeadm("status PO nobody");
  EXPECT_EQ(code, 1) << out;
  std::tie(code, out) = Storeadm("status PO");
  EXPECT_EQ(code, 2) << out;
}

}  // namespace
}  // namespace qx
