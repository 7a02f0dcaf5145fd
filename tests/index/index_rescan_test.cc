#include "index/folder_rescan.h"

#include <string>

#include "index/index_scan.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

using FolderRescanTest = test::MailFolderTest;

TEST_F(FolderRescanTest, OnlyAChangedMailFolderIsRescannedBeforeASizeSum) {
  ForgetIndexInjectionSizeLimit();
  Put("a.MAI", "Subject: a\r\n\r\nbody\r\n");
  ASSERT_EQ(ScanFolders(folder_.c_str(), false, false), 1u);
  Put("b.MAI", "Subject: b\r\n\r\nbody\r\n");
  auto indexed = [this](const char* id) {
    return ReadFile(Path("_index.xml")).find("ID=\"" + std::string(id) + "\"") != std::string::npos;
  };
  EXPECT_FALSE(RescanFolderBeforeSizeSum("/Inbox", folder_));
  EXPECT_FALSE(indexed("b.MAI"));

  // The mailbox root and calendars are summed as they stand, flag or not.
  Put("_CHANGE.DTY", "x");
  EXPECT_FALSE(RescanFolderBeforeSizeSum("/", folder_));
  EXPECT_FALSE(RescanFolderBeforeSizeSum("//CALENDAR", folder_));
  EXPECT_TRUE(RescanFolderBeforeSizeSum("/Inbox", folder_));
  EXPECT_TRUE(indexed("b.MAI"));
  EXPECT_FALSE(Exists(Path("_CHANGE.DTY")));
  EXPECT_FALSE(Exists(Path("_index.blk")));

  // So is an index larger than "Index Injection Size Limit" kilobytes.
  registry().SetDword(std::string(test::kLibraryRootKey) + "\\Providers\\Store",
                      "Index Injection Size Limit", 1);
  registry().Save();
  ForgetIndexInjectionSizeLimit();
  Put("_index.xml", "<BASEELEMENT>" + std::string(1024, ' ') + "</BASEELEMENT>");
  Put("_CHANGE.DTY", "x");
  EXPECT_FALSE(RescanFolderBeforeSizeSum("/Inbox", folder_));
  EXPECT_TRUE(Exists(Path("_CHANGE.DTY")));
}

}  // namespace
}  // namespace qx
