#include "store/folder_size_cache.h"

#include <string>

#include "support/test_store.h"

namespace qx {
namespace {

class FolderSizeCacheTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    mailbox_ = mail_root() + "/PO/MAILROOT/box";
    MakeDirs(mailbox_ + "/Inbox");
  }

  std::string MailboxCache() const { return mailbox_ + "/_DIRSIZE.TMP"; }
  std::string InboxCache() const { return mailbox_ + "/Inbox/_DIRSIZE.TMP"; }

  std::string mailbox_;
};

TEST_F(FolderSizeCacheTest, ChangesRoundHalfUpToWholeKilobytes) {
  EXPECT_EQ(SizeChangeInKilobytes(511), 0);
  EXPECT_EQ(SizeChangeInKilobytes(512), 1);
  EXPECT_EQ(SizeChangeInKilobytes(1535), 1);
  EXPECT_EQ(SizeChangeInKilobytes(1536), 2);
  EXPECT_EQ(SizeChangeInKilobytes(-512), 0);  // -0.5 + 0.5 rounds to 0
  EXPECT_EQ(SizeChangeInKilobytes(-513), -1);
  EXPECT_EQ(SizeChangeInKilobytes(-600), -1);
  EXPECT_EQ(SizeChangeInKilobytes(-3072), -3);
}

TEST_F(FolderSizeCacheTest, AdjustsTheMailboxAndFolderCachesInPlace) {
  WriteFile(MailboxCache(), "100");
  WriteFile(InboxCache(), "40\r\nleft over text");

  EXPECT_EQ(AdjustMailboxSize("PO", "box", 511, "Inbox"), 0u);  // rounds to nothing
  EXPECT_EQ(ReadFile(MailboxCache()), "100");

  EXPECT_EQ(AdjustMailboxSize("PO", "box", 512, "Inbox"), 1u);
  EXPECT_EQ(ReadFile(MailboxCache()), "101");
  EXPECT_EQ(ReadFile(InboxCache()), "41");  // the rest of the old text is cut

  // Removing a 2048-byte and a 1024-byte message lowers both by 3 KB; a
  // folder named with its leading backslash finds the same file.
  EXPECT_EQ(AdjustMailboxSize("PO", "box", -3072, "\\Inbox"), 1u);
  EXPECT_EQ(ReadFile(MailboxCache()), "98");
  EXPECT_EQ(ReadFile(InboxCache()), "38");

  // Without a folder only the mailbox changes; sums below 0 are kept as 0.
  EXPECT_EQ(AdjustMailboxSize("PO", "box", -1024 * 1000, nullptr), 1u);
  EXPECT_EQ(ReadFile(MailboxCache()), "0");
  EXPECT_EQ(ReadFile(InboxCache()), "38");

  WriteFile(InboxCache(), "not a number");
  EXPECT_EQ(AdjustMailboxSize("PO", "box", 2048, "Inbox"), 1u);
  EXPECT_EQ(ReadFile(InboxCache()), "2");
}

TEST_F(FolderSizeCacheTest, ACacheThatCannotBeAdjustedIsNeverCreated) {
  // Missing caches stay missing: the next size query computes them.
  EXPECT_EQ(AdjustMailboxSize("PO", "box", 4096, "Inbox"), 0u);
  EXPECT_FALSE(Exists(MailboxCache()));
  EXPECT_FALSE(Exists(InboxCache()));

  // The result is that of the last file: the folder's here.
  WriteFile(MailboxCache(), "7");
  EXPECT_EQ(AdjustMailboxSize("PO", "box", 4096, "Inbox"), 0u);
  EXPECT_EQ(ReadFile(MailboxCache()), "11");
  WriteFile(InboxCache(), "1");
  EXPECT_EQ(AdjustMailboxSize("PO", "box", 1024, "Missing"), 0u);
  EXPECT_EQ(AdjustMailboxSize("PO", "box", 1024, "Inbox"), 1u);
  EXPECT_EQ(ReadFile(InboxCache()), "2");

  ASSERT_TRUE(WriteSizeCache(mailbox_ + "/Inbox", 4321));
  EXPECT_EQ(ReadFile(InboxCache()), "4321");
}

}  // namespace
}  // namespace qx
