// Kept directory listings against changes by this process, by others, and
// across fork: a missing flag file in a large folder must cost no listing,
// yet no lookup may ever miss a name that is there.

#include "platform/directory_names.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/file.h"
#include "platform/path_resolver.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

class DirectoryNamesTest : public test::ScratchDirTest {};

TEST_F(DirectoryNamesTest, OwnBlockFilesCostNoListingAndOthersChangesAreSeen) {
  MakeDirs("INBOX");
  for (int i = 0; i < 50; ++i) Put("INBOX/M" + std::to_string(i) + ".MAI");
  EXPECT_FALSE(ResolvePath(Store("Inbox\\_CHANGE.DTY")).exists);
  uint64_t listings = 0;
  for (int i = 0; i < 20; ++i) {
    // The first change sends the lookup to a second listing, which is followed from then on.
    if (i == 1) listings = DirectoryListingCount();
    File block = File::Open(Store("Inbox\\_index.blk"), Access::kWrite, Disposition::kCreateNew,
                            Sharing::kExclusive);
    ASSERT_TRUE(block.valid());
    EXPECT_FALSE(ResolvePath(Store("Inbox\\_CHANGE.DTY")).exists);
    ASSERT_TRUE(DeleteHeldFile(&block, Store("Inbox\\_index.blk")));
  }
  EXPECT_EQ(DirectoryListingCount(), listings);

  // Another process raises the flag in another spelling and removes a message.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Put("INBOX/_change.dty");
    _exit(::unlink(Native("INBOX/M7.MAI").c_str()) == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ToNativePath(Store("Inbox\\_CHANGE.DTY")), Native("INBOX/_change.dty"));
  EXPECT_FALSE(ResolvePath(Store("inbox\\m7.mai")).exists);
  EXPECT_EQ(ToNativePath(Store("inbox\\m8.mai")), Native("INBOX/M8.MAI"));
}

// A forked child shares its parent's inotify instance: were it to read from
// it, the parent would lose the events and keep a stale listing.
TEST_F(DirectoryNamesTest, ForkedChildNeitherStealsNorMissesChanges) {
  MakeDirs("box");
  Put("box/A.MAI");
  EXPECT_EQ(ToNativePath(Store("box\\a.mai")), Native("box/A.MAI"));  // listing kept
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char byte = 0;
    if (read(go[0], &byte, 1) != 1) _exit(2);
    _exit(ToNativePath(Store("box\\new.mai")) == Native("box/NEW.MAI") ? 0 : 1);
  }
  Put("box/NEW.MAI");
  ASSERT_EQ(write(go[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child missed a file made before it looked";
  EXPECT_EQ(ToNativePath(Store("box\\new.mai")), Native("box/NEW.MAI"));
  close(go[0]);
  close(go[1]);
}

TEST_F(DirectoryNamesTest, RemovingOneOfTwoSpellingsLeavesTheOther) {
  MakeDirs("d");
  Put("d/ab");
  Put("d/AB");
  EXPECT_EQ(ToNativePath(Store("d\\Ab")), Native("d/AB"));
  ASSERT_EQ(::unlink(Native("d/AB").c_str()), 0);
  EXPECT_EQ(ToNativePath(Store("d\\Ab")), Native("d/ab"));
  ASSERT_EQ(::unlink(Native("d/ab").c_str()), 0);
  EXPECT_FALSE(ResolvePath(Store("d\\Ab")).exists);
}

}  // namespace
}  // namespace qx::platform
