#include "index/folder_rescan.h"

#include <string>

#include "index/index_scan.h"
#include "support/test_store.h"

namespace qx {
namespace {

class FolderRescanTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    ForgetIndexInjectionSizeLimit();
    folder_ = mail_root() + "/PO/MAILROOT/box/Work";
    MakeDirs(folder_);
    WriteFile(folder_ + "/a.MAI", "Subject: a\r\n\r\nbody\r\n");
    ASSERT_EQ(ScanFolders(folder_.c_str(), false, false), 1u);
    WriteFile(folder_ + "/b.MAI", "Subject: b\r\n\r\nbody\r\n");
  }
  bool Indexed(const std::string& id) {
    return ReadFile(folder_ + "/_index.xml").find("ID=\"" + id + "\"") != std::string::npos;
  }

  std::string folder_;
};

TEST_F(FolderRescanTest, ChangedFolderIsRescannedOnceUnderItsBlock) {
  EXPECT_FALSE(RescanFolderBeforeSizeSum("/Work", folder_));
  EXPECT_FALSE(Indexed("b.MAI"));
  WriteFile(folder_ + "/_CHANGE.DTY", "x");
  EXPECT_TRUE(RescanFolderBeforeSizeSum("/Work", folder_));
  EXPECT_TRUE(Indexed("b.MAI"));
  EXPECT_FALSE(Exists(folder_ + "/_CHANGE.DTY"));
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));
}

TEST_F(FolderRescanTest, MailboxRootCalendarAndLargeIndexesAreSummedAsTheyStand) {
  WriteFile(folder_ + "/_CHANGE.DTY", "x");
  EXPECT_FALSE(RescanFolderBeforeSizeSum("/", folder_));
  EXPECT_FALSE(RescanFolderBeforeSizeSum("//CALENDAR", folder_));
  registry().SetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Providers\\Store",
                      "Index Injection Size Limit", 1);
  registry().Save();
  ForgetIndexInjectionSizeLimit();
  WriteFile(folder_ + "/_index.xml", "<BASEELEMENT>" + std::string(1024, ' ') + "</BASEELEMENT>");
  EXPECT_FALSE(RescanFolderBeforeSizeSum("/Work", folder_));
  EXPECT_TRUE(Exists(folder_ + "/_CHANGE.DTY"));
  EXPECT_EQ(IndexInjectionSizeLimit(), 1u);
}

}  // namespace
}  // namespace qx
