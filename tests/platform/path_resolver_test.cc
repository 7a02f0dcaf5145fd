#include "platform/path_resolver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/errors.h"
#include "platform/file.h"

namespace qx::platform {
namespace {

class PathResolverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qx-resolver-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    root_ = dir;
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  // A store path under the test root, written with backslashes.
  std::string Store(const std::string& relative) const { return root_ + "\\" + relative; }
  std::string Native(const std::string& relative) const { return root_ + "/" + relative; }

  // Lets the file system clock move on, so that the last change of a
  // directory lies in an earlier tick (a folder nobody touched for a while).
  static void LetDirectoriesSettle() { ::usleep(30000); }

  std::string root_;
};

TEST_F(PathResolverTest, ExactSpellingResolvesWithoutScanning) {
  std::filesystem::create_directories(Native("PO/MAILROOT/bob/INBOX"));
  ::close(::creat(Native("PO/MAILROOT/bob/INBOX/A1.MAI").c_str(), 0644));
  const uint64_t scans = ResolverScanCount();

  EXPECT_EQ(ToNativePath(Store("PO\\MAILROOT\\bob\\INBOX\\A1.MAI")),
            Native("PO/MAILROOT/bob/INBOX/A1.MAI"));
  // Doubled and mixed separators are one separator.
  EXPECT_EQ(ToNativePath(Store("PO\\\\MAILROOT/bob\\\\INBOX//A1.MAI")),
            Native("PO/MAILROOT/bob/INBOX/A1.MAI"));
  const ResolvedPath resolved = ResolvePath(Store("PO\\MAILROOT\\bob\\INBOX"));
  EXPECT_TRUE(resolved.exists);
  EXPECT_TRUE(S_ISDIR(resolved.info.stx_mode));
  EXPECT_EQ(ResolverScanCount(), scans);
}

TEST_F(PathResolverTest, CreatedInboxIsFoundAsInbox) {
  ASSERT_TRUE(CreateDirectory(Store("INBOX")));
  ::close(::creat(Native("INBOX/Msg.MAI").c_str(), 0644));

  EXPECT_EQ(ToNativePath(Store("Inbox")), Native("INBOX"));
  EXPECT_EQ(ToNativePath(Store("inbox\\msg.mai")), Native("INBOX/Msg.MAI"));
  // A missing last component keeps the spelling given, under the found folder.
  const ResolvedPath missing = ResolvePath(Store("Inbox\\New.mai"));
  EXPECT_EQ(missing.native, Native("INBOX/New.mai"));
  EXPECT_FALSE(missing.exists);
  EXPECT_FALSE(missing.parent_missing);
  // So a second CreateDirectory in another spelling finds the first.
  EXPECT_FALSE(CreateDirectory(Store("Inbox")));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
}

TEST_F(PathResolverTest, MissingComponentsKeepTheirSpelling) {
  const ResolvedPath deep = ResolvePath(Store("NoSuch\\Sub\\File.TXT"));
  EXPECT_EQ(deep.native, Native("NoSuch/Sub/File.TXT"));
  EXPECT_FALSE(deep.exists);
  EXPECT_TRUE(deep.parent_missing);

  ::close(::creat(Native("plain").c_str(), 0644));
  const ResolvedPath under_file = ResolvePath(Store("plain\\x"));
  EXPECT_FALSE(under_file.exists);
  EXPECT_TRUE(under_file.parent_missing);
  const ResolvedPath under_file_other_case = ResolvePath(Store("PLAIN\\x"));
  EXPECT_FALSE(under_file_other_case.exists);
  EXPECT_TRUE(under_file_other_case.parent_missing);
}

TEST_F(PathResolverTest, PathFormsWithoutMeaningHere) {
  EXPECT_EQ(SpelledNativePath("D:\\PO1\\MAILROOT"), "D:/PO1/MAILROOT");
  EXPECT_EQ(SpelledNativePath("\\PO\\MAILROOT\\"), "/PO/MAILROOT");
  EXPECT_EQ(SpelledNativePath("\\\\"), "/");
  EXPECT_EQ(SpelledNativePath(""), "");
  const ResolvedPath empty = ResolvePath("");
  EXPECT_FALSE(empty.exists);
  EXPECT_TRUE(empty.parent_missing);
}

TEST_F(PathResolverTest, TwoSpellingsOnDiskResolveToTheSameOne) {
  std::filesystem::create_directories(Native("abc"));
  std::filesystem::create_directories(Native("ABC"));
  EXPECT_EQ(ToNativePath(Store("Abc")), Native("ABC"));
  EXPECT_EQ(ToNativePath(Store("aBC")), Native("ABC"));
  EXPECT_EQ(ToNativePath(Store("abc")), Native("abc"));
}

TEST_F(PathResolverTest, KeptListingsFollowChangesToTheDirectory) {
  std::filesystem::create_directories(Native("box/INBOX"));
  LetDirectoriesSettle();
  const uint64_t before = ResolverScanCount();
  EXPECT_EQ(ToNativePath(Store("box\\inbox")), Native("box/INBOX"));
  EXPECT_EQ(ResolverScanCount(), before + 1);
  // An unchanged folder is not listed again for other misses.
  EXPECT_EQ(ToNativePath(Store("box\\Inbox")), Native("box/INBOX"));
  EXPECT_EQ(ToNativePath(Store("box\\_CHANGE.DTY")), Native("box/_CHANGE.DTY"));
  EXPECT_EQ(ResolverScanCount(), before + 1);

  // Another process renames and creates entries behind the kept listing.
  std::filesystem::rename(Native("box/INBOX"), Native("box/Inbox2"));
  std::filesystem::create_directories(Native("box/_change.dty"));
  EXPECT_EQ(ToNativePath(Store("box\\INBOX2")), Native("box/Inbox2"));
  EXPECT_EQ(ToNativePath(Store("box\\_CHANGE.DTY")), Native("box/_change.dty"));
  const ResolvedPath gone = ResolvePath(Store("box\\inbox"));
  EXPECT_FALSE(gone.exists);
  EXPECT_EQ(gone.native, Native("box/inbox"));
}

}  // namespace
}  // namespace qx::platform
