#include "common/block_files.h"

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "qxstore.h"
#include "support/forked_holder.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::kProvidersBlockKey;

class BlockFilesTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(Native("INBOX"));
    MakeDirs(Native("Calendar"));
    index_block_ = Store("INBOX\\_index.blk");
  }
  void TearDown() override {
    platform::ClearFaults();
    StoreTest::TearDown();
  }

  // Below the test mailbox: native, and in store path form.
  std::string Native(const std::string& below) const { return mail_root() + "/PO/MAILROOT/MB/" + below; }
  std::string Store(const std::string& below) const { return mail_root() + "\\PO\\MAILROOT\\MB\\" + below; }
  std::string CalendarFile(const char* extension) const { return Native("Calendar/Y2024") + extension; }

  // Another process takes the block file and keeps its handle open until
  // released; the file stays when it lets go.
  static std::unique_ptr<test::ForkedHolder> HoldElsewhere(const std::string& path) {
    static uintptr_t handle = 0;
    return std::make_unique<test::ForkedHolder>(
        [path] { return WaitForAccessToIndexFileEx(path.c_str(), 1, &handle) == 1; },
        [] { return platform::File::FromHandle(handle).Close(); });
  }
  // Another process takes the block file as `take` does and is killed while
  // holding it.
  static void TakeAndDie(const std::function<bool()>& take) {
    test::ForkedHolder holder(take);
    ASSERT_TRUE(holder.held());
    ASSERT_TRUE(holder.Kill());
  }
  // Makes the file last written `seconds` before the test clock's now.
  void Age(const std::string& native, int seconds) {
    const uint64_t then = clock().NowFileTime() - static_cast<uint64_t>(seconds) * 10000000;
    ASSERT_TRUE(platform::SetFileTimes(native, platform::FileTimes{0, 0, then}));
  }
  void SetTimeout(const char* name, uint32_t polls) {
    registry().SetDword(kProvidersBlockKey, name, polls);
    registry().Save();
  }

  std::string index_block_;
  const std::string calendar_ = "PO\\MAILROOT\\MB\\Calendar\\Y2024";
};

TEST_F(BlockFilesTest, HeldIndexBlockRefusesOthersUntilItsHolderCloses) {
  auto holder = HoldElsewhere(index_block_);
  ASSERT_TRUE(holder->held());

  uintptr_t handle = 0;
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 1, &handle), 0u);
  EXPECT_FALSE(platform::DeleteFile(index_block_));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorSharingViolation);
  // The release retries once a second, 80 times, then gives up.
  int sleeps = clock().sleeps();
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 0u);
  EXPECT_EQ(clock().sleeps() - sleeps, 81);
  EXPECT_TRUE(Exists(Native("INBOX/_index.blk")));

  ASSERT_TRUE(holder->Release());
  // Closed but present: the file alone still blocks a take.
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, &handle), 0u);
  sleeps = clock().sleeps();
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 1u);
  EXPECT_EQ(clock().sleeps(), sleeps);

}

TEST_F(BlockFilesTest, TakeIsOneAttemptAndReleaseOfNothingDoesNotWait) {
  uintptr_t handle = 555;
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, &handle), 1u);
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 1, &handle), 0u);
  EXPECT_EQ(WaitForAccessToIndexFileEx(Store("Nowhere\\_index.blk").c_str(), 0, &handle), 0u);
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 1u);
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 0u);
  EXPECT_EQ(clock().sleeps(), 0);
}

TEST_F(BlockFilesTest, TakeResourceBlockBreaksAStaleBlockAfterTheWriteTimeout) {
  EXPECT_EQ(TakeResourceBlock(calendar_.c_str()), 1u);
  EXPECT_EQ(clock().sleeps(), 0);

  SetTimeout("Write Wait Timeout", 3);
  EXPECT_EQ(TakeResourceBlock(calendar_.c_str()), 1u);
  EXPECT_EQ(clock().sleeps(), 4);
  EXPECT_TRUE(Exists(CalendarFile(".BLK")));
  // The key has no Wow6432Node part: a value there is not read.
  registry().Remove(kProvidersBlockKey, "Write Wait Timeout");
  registry().SetDword(std::string(test::kLibraryRootKey) + "\\Providers", "Write Wait Timeout", 1);
  registry().Save();
  EXPECT_EQ(TakeResourceBlock(calendar_.c_str()), 1u);
  EXPECT_EQ(clock().sleeps(), 4 + 81);

  EXPECT_EQ(RemoveResourceBlock(calendar_.c_str()), 1u);
  EXPECT_EQ(ResourceBlockExists(calendar_.c_str()), 0u);
  EXPECT_EQ(TakeResourceBlock(std::string(1100, 'n').c_str()), 0u);
}

TEST_F(BlockFilesTest, AResourceBlockHeldOpenCannotBeBroken) {
  auto holder = HoldElsewhere(CalendarFile(".BLK"));
  ASSERT_TRUE(holder->held());
  SetTimeout("UnBlock Timeout", 2);
  SetTimeout("Write Wait Timeout", 1);
  SetTimeout("Read Wait Timeout", 1);

  EXPECT_EQ(RemoveResourceBlock(calendar_.c_str()), 0u);
  EXPECT_EQ(clock().sleeps(), 3);
  EXPECT_EQ(WaitForResourceUnblock(calendar_.c_str()), 0u);  // ends although the block stays
  EXPECT_EQ(clock().sleeps(), 3 + 2 + 3);

  ASSERT_TRUE(holder->Release());
  EXPECT_EQ(RemoveResourceBlock(calendar_.c_str()), 1u);
}

TEST_F(BlockFilesTest, WaitForResourceUnblockBreaksOnlyAfterTheReadTimeout) {
  EXPECT_EQ(WaitForResourceUnblock(calendar_.c_str()), 1u);
  SetTimeout("Read Wait Timeout", 2);
  ASSERT_EQ(TakeResourceBlock(calendar_.c_str()), 1u);
  EXPECT_EQ(WaitForResourceUnblock(calendar_.c_str()), 0u);
  EXPECT_EQ(clock().sleeps(), 3);
  EXPECT_FALSE(Exists(CalendarFile(".BLK")));
}

TEST_F(BlockFilesTest, ADeadHoldersIndexBlockIsBrokenOnceOlderThanTheGraceALiveOneNever) {
  const std::string native = Native("INBOX/_index.blk");
  uintptr_t handle = 0;
  for (uint32_t keep_open : {1u, 0u}) {
    const std::string path = index_block_;
    TakeAndDie([path, keep_open] {
      uintptr_t held = 0;
      return WaitForAccessToIndexFileEx(path.c_str(), keep_open, &held) == 1;
    });
    ASSERT_TRUE(Exists(native));
    Age(native, 9);
    EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 1, &handle), 0u) << keep_open;
    clock().Advance(2000);
    EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 1, &handle), 1u) << keep_open;
    EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 1, &handle), 1u);
  }
  EXPECT_EQ(clock().sleeps(), 0);

  // Live holders, whether they kept the handle or not, are never broken.
  auto kept = HoldElsewhere(index_block_);
  ASSERT_TRUE(kept->held());
  Age(native, 3600);
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 1, &handle), 0u);
  ASSERT_TRUE(kept->Release());
  ASSERT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 1u);
  const std::string path = index_block_;
  test::ForkedHolder closed([path] { return WaitForAccessToIndexFileEx(path.c_str(), 0, nullptr) == 1; },
                            [path] { return UnBlockIndexFileAccessEx(path.c_str(), 0, nullptr) == 1; });
  ASSERT_TRUE(closed.held());
  Age(native, 3600);
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, &handle), 0u);
  EXPECT_TRUE(Exists(native));
  EXPECT_TRUE(closed.Release());

  // The grace is a setting.
  SetTimeout("Stale Block Grace", 60);
  TakeAndDie([path] { return WaitForAccessToIndexFileEx(path.c_str(), 0, nullptr) == 1; });
  Age(native, 30);
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, &handle), 0u);
  Age(native, 61);
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, &handle), 1u);
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 1u);
}

TEST_F(BlockFilesTest, ResourceWaitersBreakADeadHoldersBlockWithoutWaitingOutTheTimeouts) {
  const std::string name = calendar_;
  TakeAndDie([name] { return TakeResourceBlock(name.c_str()) == 1; });
  Age(CalendarFile(".BLK"), 11);
  EXPECT_EQ(WaitForResourceUnblock(calendar_.c_str()), 0u);  // broken, not gone by itself
  EXPECT_FALSE(Exists(CalendarFile(".BLK")));
  TakeAndDie([name] { return TakeResourceBlock(name.c_str()) == 1; });
  Age(CalendarFile(".BLK"), 11);
  EXPECT_EQ(TakeResourceBlock(calendar_.c_str()), 1u);
  EXPECT_EQ(clock().sleeps(), 0);

  // This process now holds it, so another waiter waits it out as before.
  SetTimeout("Read Wait Timeout", 1);
  test::ForkedHolder waiter([name] { return WaitForResourceUnblock(name.c_str()) == 0; });
  EXPECT_TRUE(waiter.held());
  EXPECT_TRUE(waiter.Release());
  EXPECT_EQ(RemoveResourceBlock(calendar_.c_str()), 0u);  // the waiter broke it at its time-out
}

}  // namespace
}  // namespace qx
