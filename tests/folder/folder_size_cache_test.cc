#include "folder/folder_size_cache.h"

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

TEST_F(FolderSizeCacheTest, AdjustmentsRoundHalfUpToKilobytesAndClampAtZero) {
  const std::pair<int64_t, int64_t> rounding[] = {{511, 0},   {512, 1},   {1535, 1}, {1536, 2},
                                                  {-512, 0},  {-513, -1}, {-600, -1}, {-3072, -3}};
  for (const auto& [bytes, kilobytes] : rounding) {
    EXPECT_EQ(SizeChangeInKilobytes(bytes), kilobytes) << bytes;
  }

  WriteFile(MailboxCache(), "100");
  WriteFile(InboxCache(), "40\r\nleft over text");
  EXPECT_EQ(AdjustMailboxSize("PO", "box", 511, "Inbox"), 0u);  // rounds to nothing
  EXPECT_EQ(ReadFile(MailboxCache()), "100");
  EXPECT_EQ(AdjustMailboxSize("PO", "box", 512, "Inbox"), 1u);
  EXPECT_EQ(ReadFile(MailboxCache()), "101");
  EXPECT_EQ(ReadFile(InboxCache()), "41");  // the rest of the old text is cut
  EXPECT_EQ(AdjustMailboxSize("PO", "box", -600, "\\Inbox"), 1u);
  EXPECT_EQ(ReadFile(MailboxCache()), "100");
  EXPECT_EQ(ReadFile(InboxCache()), "40");

  // Without a folder only the mailbox changes; sums below 0 are kept as 0.
  EXPECT_EQ(AdjustMailboxSize("PO", "box", -1024 * 1000, nullptr), 1u);
  EXPECT_EQ(ReadFile(MailboxCache()), "0");
  EXPECT_EQ(ReadFile(InboxCache()), "40");
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
  EXPECT_EQ(AdjustMailboxSize("PO", "box", 1024, "Missing"), 0u);
  EXPECT_FALSE(Exists(mailbox_ + "/Missing"));
}

// Other writers may leave any number in the file; the sum is held to the
// cache's range without overflowing on the way (UBSan checks the sanitizer build).
TEST_F(FolderSizeCacheTest, NumbersAtAndBeyondTheLimitsAreHeldToTheCacheRange) {
  const struct {
    const char* cached;
    int32_t change_kb;
    const char* written;
  } cases[] = {
      {"9223372036854775807", 1, "2147483647"},
      {"9223372036854775807", INT32_MAX, "2147483647"},
      {"9223372036854775808", 5, "2147483647"},
      {"99999999999999999999999", -1, "2147483647"},
      {"-9223372036854775808", -1, "0"},
      {"-9223372036854775807", INT32_MIN, "0"},
      {"-99999999999999999999999", 3, "0"},
      {"2147483647", 1, "2147483647"},
      {"2147483648", -2, "2147483646"},
  };
  for (const auto& c : cases) {
    WriteFile(MailboxCache(), c.cached);
    EXPECT_TRUE(AdjustSizeCacheFile(MailboxCache(), c.change_kb)) << c.cached;
    EXPECT_EQ(ReadFile(MailboxCache()), c.written) << c.cached << " + " << c.change_kb;
  }
}

}  // namespace
}  // namespace qx
