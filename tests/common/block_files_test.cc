#include "common/block_files.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/clock.h"
#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::kLibraryRootKey;
using test::kProvidersBlockKey;

// A child process that creates a block file and keeps its handle open until
// told to close it. The file itself stays when the child lets go.
class BlockHolder {
 public:
  ~BlockHolder() {
    if (child_ > 0) Release();
  }

  // True once the child holds the file.
  bool Start(const std::string& path) {
    if (pipe(ready_) != 0 || pipe(go_) != 0) return false;
    child_ = fork();
    if (child_ < 0) return false;
    if (child_ == 0) {
      uintptr_t handle = 0;
      char held = WaitForAccessToIndexFileEx(path.c_str(), 1, &handle) == 1 ? 'y' : 'n';
      (void)!write(ready_[1], &held, 1);
      char go;
      (void)!read(go_[0], &go, 1);
      bool closed = platform::File::FromHandle(handle).Close();
      _exit(closed ? 0 : 1);
    }
    char held = 'n';
    return read(ready_[0], &held, 1) == 1 && held == 'y';
  }

  // Lets the child close its handle; true when it did so cleanly.
  bool Release() {
    char go = 'g';
    (void)!write(go_[1], &go, 1);
    int status = 0;
    pid_t child = child_;
    child_ = -1;
    for (int fd : {ready_[0], ready_[1], go_[0], go_[1]}) close(fd);
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  pid_t child_ = -1;
  int ready_[2] = {-1, -1};
  int go_[2] = {-1, -1};
};

class BlockFilesTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    folder_ = mail_root() + "\\PO\\MAILROOT\\MB\\INBOX";
    MakeDirs(mail_root() + "/PO/MAILROOT/MB/INBOX");
    MakeDirs(mail_root() + "/PO/MAILROOT/MB/Calendar");
    index_block_ = folder_ + "\\_index.blk";
  }

  std::string Native(const std::string& below_mail_root) const {
    return mail_root() + "/" + below_mail_root;
  }
  void SetTimeout(const char* name, uint32_t polls) {
    registry().SetDword(kProvidersBlockKey, name, polls);
    registry().Save();
  }
  // Diagnostics printed while `action` runs.
  template <typename Action>
  std::string Printed(Action action) {
    setenv("QXSTORE_DIAG", "stdout", 1);
    platform::ReloadDiagnosticsSettings();
    testing::internal::CaptureStdout();
    action();
    std::fflush(stdout);
    std::string printed = testing::internal::GetCapturedStdout();
    setenv("QXSTORE_DIAG", "off", 1);
    platform::ReloadDiagnosticsSettings();
    return printed;
  }
  int FilesIn(const std::string& native_directory) {
    int count = 0;
    for (auto it = std::filesystem::directory_iterator(native_directory);
         it != std::filesystem::directory_iterator(); ++it) {
      ++count;
    }
    return count;
  }

  std::string folder_;
  std::string index_block_;
  const char* calendar_ = "PO\\MAILROOT\\MB\\Calendar\\Y2024";
  std::string CalendarFile(const char* extension) const {
    return Native("PO/MAILROOT/MB/Calendar/Y2024") + extension;
  }
};

TEST_F(BlockFilesTest, HeldIndexBlockRefusesOthersUntilItsHolderCloses) {
  BlockHolder holder;
  ASSERT_TRUE(holder.Start(index_block_));

  uintptr_t handle = 777;
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 1, &handle), 0u);
  EXPECT_EQ(handle, 777u);
  EXPECT_FALSE(platform::DeleteFile(index_block_));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorSharingViolation);

  // The release retries once a second, 80 times, then gives up.
  int sleeps = clock().sleeps();
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 0u);
  EXPECT_EQ(clock().sleeps() - sleeps, 81);
  EXPECT_TRUE(Exists(Native("PO/MAILROOT/MB/INBOX/_index.blk")));

  ASSERT_TRUE(holder.Release());
  // Closed but present: the file alone still blocks a take.
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, &handle), 0u);
  sleeps = clock().sleeps();
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 1u);
  EXPECT_EQ(clock().sleeps(), sleeps);
  EXPECT_FALSE(Exists(Native("PO/MAILROOT/MB/INBOX/_index.blk")));

  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 1, &handle), 1u);
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 1, &handle), 1u);
  EXPECT_EQ(handle, 0u);
  EXPECT_FALSE(Exists(Native("PO/MAILROOT/MB/INBOX/_index.blk")));
}

TEST_F(BlockFilesTest, TakeIsOneAttemptAndReleaseOfNothingDoesNotWait) {
  uintptr_t handle = 555;
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, &handle), 1u);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(ReadFile(Native("PO/MAILROOT/MB/INBOX/_index.blk")), "");
  handle = 555;
  EXPECT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 1, &handle), 0u);
  EXPECT_EQ(handle, 555u);
  std::string missing_directory = mail_root() + "\\PO\\MAILROOT\\MB\\Nowhere\\_index.blk";
  EXPECT_EQ(WaitForAccessToIndexFileEx(missing_directory.c_str(), 0, &handle), 0u);
  EXPECT_EQ(WaitForAccessToIndexFileEx(nullptr, 0, &handle), 0u);
  EXPECT_EQ(clock().sleeps(), 0);

  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 1u);
  EXPECT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 0u);
  EXPECT_EQ(UnBlockIndexFileAccessEx(missing_directory.c_str(), 0, nullptr), 0u);
  EXPECT_EQ(clock().sleeps(), 0);

  // A handle that cannot be closed is reported, forgotten, and the file is
  // still deleted.
  ASSERT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, nullptr), 1u);
  handle = 0;
  uint32_t result = 0;
  std::string printed = Printed(
      [&] { result = UnBlockIndexFileAccessEx(index_block_.c_str(), 1, &handle); });
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(printed, "An error occured closing the handle of a block file: 6\n");
}

TEST_F(BlockFilesTest, IndexFileChecksTakeAndReleaseTheBlock) {
  std::string folder_native = Native("PO/MAILROOT/MB/INBOX");
  EXPECT_EQ(CheckIndexFileAvailability(folder_.c_str(), kCheckWithoutBlock), 0u);
  EXPECT_EQ(FilesIn(folder_native), 0);
  EXPECT_EQ(CheckIndexFileAvailability(folder_.c_str(), 0), 0u);
  EXPECT_EQ(FilesIn(folder_native), 0);

  WriteFile(folder_native + "/_index.xml", "<BASEELEMENT/>");
  EXPECT_EQ(CheckIndexFileAvailability(folder_.c_str(), 0), 1u);
  EXPECT_EQ(CheckIndexFileAvailability(folder_.c_str(), kCheckWithoutBlock), 1u);
  EXPECT_EQ(ProbeIndexFile(folder_.c_str(), 1), 1u);
  EXPECT_EQ(ProbeIndexFile(folder_.c_str(), 0), 1u);
  EXPECT_EQ(FilesIn(folder_native), 1);

  // Someone else's block: the checks that need it fail, and leave it alone.
  ASSERT_EQ(WaitForAccessToIndexFileEx(index_block_.c_str(), 0, nullptr), 1u);
  EXPECT_EQ(CheckIndexFileAvailability(folder_.c_str(), 0), 5u);
  EXPECT_EQ(ProbeIndexFile(folder_.c_str(), 1), 0u);
  EXPECT_EQ(CheckIndexFileAvailability(folder_.c_str(), kCheckWithoutBlock), 1u);
  EXPECT_EQ(ProbeIndexFile(folder_.c_str(), 0), 1u);
  EXPECT_TRUE(Exists(folder_native + "/_index.blk"));
  ASSERT_EQ(UnBlockIndexFileAccessEx(index_block_.c_str(), 0, nullptr), 1u);
  EXPECT_EQ(clock().sleeps(), 0);

  // A block that cannot be removed again is reported, and the answer stands.
  platform::InjectFault(platform::FaultOp::kDelete, "_index.blk", platform::kErrorAccessDenied,
                        81);
  uint32_t result = 0;
  std::string printed =
      Printed([&] { result = CheckIndexFileAvailability(folder_.c_str(), 0); });
  platform::ClearFaults();
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(printed, "CheckIndexFileAvailability::Unable to remove blocking file");
  EXPECT_EQ(clock().sleeps(), 81);
}

TEST_F(BlockFilesTest, TakeResourceBlockBreaksAStaleBlockAfterTheWriteTimeout) {
  EXPECT_EQ(TakeResourceBlock(calendar_), 1u);
  EXPECT_EQ(clock().sleeps(), 0);
  EXPECT_TRUE(Exists(CalendarFile(".BLK")));
  EXPECT_EQ(ResourceBlockExists(calendar_), 1u);

  SetTimeout("Write Wait Timeout", 3);
  EXPECT_EQ(TakeResourceBlock(calendar_), 1u);
  EXPECT_EQ(clock().sleeps(), 4);
  EXPECT_TRUE(Exists(CalendarFile(".BLK")));

  // Read on each use, with no reload of the library.
  SetTimeout("Write Wait Timeout", 1);
  EXPECT_EQ(TakeResourceBlock(calendar_), 1u);
  EXPECT_EQ(clock().sleeps(), 4 + 2);

  // The key has no Wow6432Node part: a value there is not read.
  registry().Remove(kProvidersBlockKey, "Write Wait Timeout");
  registry().SetDword(std::string(kLibraryRootKey) + "\\Providers", "Write Wait Timeout", 1);
  registry().Save();
  EXPECT_EQ(TakeResourceBlock(calendar_), 1u);
  EXPECT_EQ(clock().sleeps(), 6 + 81);

  EXPECT_EQ(RemoveResourceBlock(calendar_), 1u);
  EXPECT_EQ(RemoveResourceBlock(calendar_), 0u);
  EXPECT_EQ(ResourceBlockExists(calendar_), 0u);
  EXPECT_EQ(clock().sleeps(), 87);

  std::string too_long(1100, 'n');
  EXPECT_EQ(TakeResourceBlock(too_long.c_str()), 0u);
  EXPECT_EQ(ResourceBlockExists(too_long.c_str()), 0u);
  EXPECT_EQ(WaitForResourceUnblock(too_long.c_str()), 1u);
  EXPECT_EQ(ApplyResourceFile(too_long.c_str()), 0u);
}

TEST_F(BlockFilesTest, AResourceBlockHeldOpenCannotBeBroken) {
  BlockHolder holder;
  ASSERT_TRUE(holder.Start(CalendarFile(".BLK")));
  SetTimeout("UnBlock Timeout", 2);
  SetTimeout("Write Wait Timeout", 1);
  SetTimeout("Read Wait Timeout", 1);

  uint32_t result = 1;
  std::string printed = Printed([&] { result = RemoveResourceBlock(calendar_); });
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(clock().sleeps(), 3);
  std::string block_path = ResourceBlockPath(calendar_);
  EXPECT_EQ(block_path, mail_root() + "\\" + calendar_ + ".BLK");
  EXPECT_EQ(printed, "Unable to remove blocking file " + block_path + "\n");

  EXPECT_EQ(TakeResourceBlock(calendar_), 0u);
  EXPECT_EQ(clock().sleeps(), 3 + 2 + 3);
  EXPECT_EQ(WaitForResourceUnblock(calendar_), 0u);  // ends although the block stays
  EXPECT_EQ(clock().sleeps(), 8 + 2 + 3);

  ASSERT_TRUE(holder.Release());
  EXPECT_EQ(RemoveResourceBlock(calendar_), 1u);
}

// A clock whose n-th sleep deletes a file, as an owner finishing would.
class OwnerFinishesClock : public test::FakeClock {
 public:
  OwnerFinishesClock(std::string path, int at_sleep) : path_(std::move(path)), at_(at_sleep) {}
  void SleepMilliseconds(uint32_t ms) override {
    FakeClock::SleepMilliseconds(ms);
    if (sleeps() == at_) std::filesystem::remove(path_);
  }

 private:
  std::string path_;
  int at_;
};

TEST_F(BlockFilesTest, WaitForResourceUnblockBreaksOnlyAfterTheReadTimeout) {
  EXPECT_EQ(WaitForResourceUnblock(calendar_), 1u);
  EXPECT_EQ(clock().sleeps(), 0);

  SetTimeout("Read Wait Timeout", 2);
  ASSERT_EQ(TakeResourceBlock(calendar_), 1u);
  EXPECT_EQ(WaitForResourceUnblock(calendar_), 0u);
  EXPECT_EQ(clock().sleeps(), 3);
  EXPECT_FALSE(Exists(CalendarFile(".BLK")));
  EXPECT_EQ(WaitForResourceUnblock(calendar_), 1u);

  ASSERT_EQ(TakeResourceBlock(calendar_), 1u);
  OwnerFinishesClock owner(CalendarFile(".BLK"), 2);
  platform::SetClock(&owner);
  uint32_t result = WaitForResourceUnblock(calendar_);
  platform::SetClock(&clock());
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(owner.sleeps(), 2);
}

TEST_F(BlockFilesTest, ApplyResourceFileKeepsTheOldBackupOnlyWithoutABlock) {
  auto write_generation = [&] {
    WriteFile(CalendarFile(".CAL"), "current");
    WriteFile(CalendarFile(".BAK"), "backup");
    WriteFile(CalendarFile(".TMP"), "new");
    WriteFile(CalendarFile(".OLD"), "old");
  };
  write_generation();
  EXPECT_EQ(ApplyResourceFile(calendar_), 1u);
  EXPECT_EQ(ReadFile(CalendarFile(".CAL")), "new");
  EXPECT_EQ(ReadFile(CalendarFile(".BAK")), "current");
  EXPECT_EQ(ReadFile(CalendarFile(".OLD")), "backup");
  EXPECT_FALSE(Exists(CalendarFile(".TMP")));

  write_generation();
  ASSERT_EQ(TakeResourceBlock(calendar_), 1u);
  EXPECT_EQ(ApplyResourceFile(calendar_), 1u);
  EXPECT_EQ(ReadFile(CalendarFile(".CAL")), "new");
  EXPECT_EQ(ReadFile(CalendarFile(".BAK")), "current");
  EXPECT_EQ(ReadFile(CalendarFile(".OLD")), "old");
  EXPECT_FALSE(Exists(CalendarFile(".TMP")));
  EXPECT_FALSE(Exists(CalendarFile(".BLK")));  // the commit releases the block
  EXPECT_EQ(clock().sleeps(), 0);

  // A first commit: there is no .CAL yet, and the .TMP still becomes it.
  std::filesystem::remove(CalendarFile(".CAL"));
  WriteFile(CalendarFile(".TMP"), "first");
  EXPECT_EQ(ApplyResourceFile(calendar_), 1u);
  EXPECT_EQ(ReadFile(CalendarFile(".CAL")), "first");
  EXPECT_EQ(clock().sleeps(), 0);
}

TEST_F(BlockFilesTest, MarkFolderChangedWritesTheFlagText) {
  std::string flag = Native("PO/MAILROOT/MB/INBOX/_CHANGE.DTY");
  WriteFile(flag, std::string(200, 'x'));
  EXPECT_EQ(MarkFolderChanged(folder_.c_str()), 1u);
  EXPECT_EQ(ReadFile(flag),
            "This file is a flag file that denotes that this folder has been changed");
  std::string missing = mail_root() + "\\PO\\MAILROOT\\MB\\Nowhere";
  EXPECT_EQ(MarkFolderChanged(missing.c_str()), 1u);
  EXPECT_FALSE(Exists(Native("PO/MAILROOT/MB/Nowhere")));
}

}  // namespace
}  // namespace qx
