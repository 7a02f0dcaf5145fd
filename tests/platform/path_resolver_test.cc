#include "platform/path_resolver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/errors.h"
#include "platform/file.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

class PathResolverTest : public test::ScratchDirTest {
 protected:
  // Lets the file system clock move on, so that the last change of a
  // directory lies in an earlier tick (a folder nobody touched for a while).
  static void LetDirectoriesSettle() { ::usleep(30000); }
};

TEST_F(PathResolverTest, ExactSpellingResolvesWithoutScanning) {
  MakeDirs("PO/MAILROOT/bob/INBOX");
  Put("PO/MAILROOT/bob/INBOX/A1.MAI");
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
  Put("INBOX/Msg.MAI");

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

  Put("plain");
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
  // Paths already spelled natively come back as they are; the others as
  // the split gives them.
  EXPECT_EQ(SpelledNativePath("/mail/PO/x.MAI"), "/mail/PO/x.MAI");
  EXPECT_EQ(SpelledNativePath("/"), "/");
  EXPECT_EQ(SpelledNativePath("mail//PO/"), "mail/PO");
  EXPECT_EQ(SpelledNativePath("//mail/PO"), "/mail/PO");
  const ResolvedPath empty = ResolvePath("");
  EXPECT_FALSE(empty.exists);
  EXPECT_TRUE(empty.parent_missing);
}

TEST_F(PathResolverTest, TwoSpellingsOnDiskResolveToTheSameOne) {
  MakeDirs("abc");
  MakeDirs("ABC");
  EXPECT_EQ(ToNativePath(Store("Abc")), Native("ABC"));
  EXPECT_EQ(ToNativePath(Store("aBC")), Native("ABC"));
  EXPECT_EQ(ToNativePath(Store("abc")), Native("abc"));
}

// True when an inotify instance of this process watches the directory `path`.
bool Watched(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  char inode[32];
  std::snprintf(inode, sizeof inode, " ino:%lx ", static_cast<unsigned long>(info.st_ino));
  for (int fd = 0; fd < 1024; ++fd) {
    char link[64] = {};
    const std::string fd_path = "/proc/self/fd/" + std::to_string(fd);
    if (::readlink(fd_path.c_str(), link, sizeof link - 1) <= 0 || std::string(link) != "anon_inode:inotify") {
      continue;
    }
    std::ifstream fdinfo("/proc/self/fdinfo/" + std::to_string(fd));
    for (std::string line; std::getline(fdinfo, line);) {
      if (line.starts_with("inotify ") && line.find(inode) != std::string::npos) return true;
    }
  }
  return false;
}

// What one delivery or one status in a folder of thousands of messages asks:
// none of it may list that folder or leave an inotify instance to release.
TEST_F(PathResolverTest, AOneShotLookInALargeFolderListsOnlyWhatIsMisspelled) {
  MakeDirs("box/INBOX");
  for (int i = 0; i < 40; ++i) Put("box/INBOX/M" + std::to_string(i) + ".MAI");
  Put("box/INBOX/_index.xml");
  LetDirectoriesSettle();
  const uint64_t before = ResolverScanCount();
  // "Inbox" costs the small mailbox folder's listing; the name below it is spelled as on disk.
  EXPECT_EQ(ToNativePath(Store("box\\Inbox\\_index.xml")), Native("box/INBOX/_index.xml"));
  EXPECT_EQ(ResolverScanCount(), before + 1);
  // Short, usually absent names are looked up in each spelling instead.
  EXPECT_FALSE(ResolveUsuallyMissing(Store("box\\INBOX\\_index.blk")).exists);
  Put("box/INBOX/_INDEX.blk");
  Put("box/INBOX/_index.BLK");
  const ResolvedPath held = ResolveUsuallyMissing(Store("box\\Inbox\\_index.blk"));
  EXPECT_TRUE(held.exists);
  EXPECT_EQ(held.native, Native("box/INBOX/_INDEX.blk"));  // the byte-wise smaller, as a listing gives
  EXPECT_EQ(ResolverScanCount(), before + 1);
  EXPECT_FALSE(Watched(Native("box")));
  EXPECT_FALSE(Watched(Native("box/INBOX")));
  // A long name still needs the listing; a name missing under a misspelled folder is truly missing.
  EXPECT_TRUE(ResolveUsuallyMissing(Store("box\\INBOX\\m7.mai")).exists);
  EXPECT_FALSE(ResolvePath(Store("box\\Inbox\\_CHANGE.DTY")).exists);
}

TEST_F(PathResolverTest, KeptListingsFollowChangesToTheDirectory) {
  MakeDirs("box/INBOX");
  LetDirectoriesSettle();
  const uint64_t before = ResolverScanCount();
  EXPECT_EQ(ToNativePath(Store("box\\inbox")), Native("box/INBOX"));
  EXPECT_EQ(ResolverScanCount(), before + 1);
  // An unchanged folder is not listed again for other misses.
  EXPECT_EQ(ToNativePath(Store("box\\Inbox")), Native("box/INBOX"));
  EXPECT_EQ(ToNativePath(Store("box\\_CHANGE.DTY")), Native("box/_CHANGE.DTY"));
  EXPECT_EQ(ResolverScanCount(), before + 1);

  // Another process renames and creates entries behind the kept listing.
  ASSERT_EQ(::rename(Native("box/INBOX").c_str(), Native("box/Inbox2").c_str()), 0);
  MakeDirs("box/_change.dty");
  EXPECT_EQ(ToNativePath(Store("box\\INBOX2")), Native("box/Inbox2"));
  EXPECT_EQ(ToNativePath(Store("box\\_CHANGE.DTY")), Native("box/_change.dty"));
  const ResolvedPath gone = ResolvePath(Store("box\\inbox"));
  EXPECT_FALSE(gone.exists);
  EXPECT_EQ(gone.native, Native("box/inbox"));
}

}  // namespace
}  // namespace qx::platform
