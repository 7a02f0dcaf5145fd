#include "platform/real_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/errors.h"
#include "platform/file.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

class RealPathTest : public test::ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    // The scratch root itself may lie below a link (/tmp on some systems).
    real_root_ = RealPath(root_).value_or("");
    ASSERT_FALSE(real_root_.empty());
  }
  void Link(const std::string& target, const std::string& relative) const {
    ASSERT_EQ(::symlink(target.c_str(), Native(relative).c_str()), 0);
  }
  std::string real_root_;
};

TEST_F(RealPathTest, FollowsLinksAndCaseButNeverTrustsWhatItCannotSee) {
  MakeDirs("store/MAILROOT/Box");
  MakeDirs("outside");
  Link(Native("outside"), "store/MAILROOT/Box/Out");
  Link(Native("outside/nothing-here"), "store/MAILROOT/Box/Dangling");
  Link("Loop", "store/MAILROOT/Box/Loop");

  const struct {
    const char* store_path;
    const char* real_below_root;  // null: no answer
  } cases[] = {
      {"store\\mailroot\\BOX", "/store/MAILROOT/Box"},
      {"store\\MAILROOT\\Box\\Inbox\\new.MAI", "/store/MAILROOT/Box/Inbox/new.MAI"},
      {"store\\MAILROOT\\Box\\Out\\x", "/outside/x"},
      {"store/MAILROOT/./Box/../Box", "/store/MAILROOT/Box"},
      {"store\\MAILROOT\\Box\\missing\\..\\..\\..", nullptr},
      {"store\\MAILROOT\\Box\\Dangling", nullptr},
      {"store\\MAILROOT\\Box\\Dangling\\x", nullptr},
      {"store\\MAILROOT\\Box\\Loop", nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> real = RealPath(Store(c.store_path));
    if (c.real_below_root == nullptr) {
      EXPECT_FALSE(real) << c.store_path << " gave " << real.value_or("");
    } else {
      EXPECT_EQ(real.value_or("<none>"), real_root_ + c.real_below_root) << c.store_path;
    }
  }

  EXPECT_TRUE(IsSameOrBelowReal("/srv/mail", "/srv/mail/"));
  EXPECT_TRUE(IsSameOrBelowReal("/srv/mail/PO", "/srv/mail"));
  EXPECT_FALSE(IsSameOrBelowReal("/srv/mail2/PO", "/srv/mail"));
  EXPECT_TRUE(IsSameOrBelowReal("/anything", "/"));
}

TEST_F(RealPathTest, ALinkIsDeletedItselfAndPlainEntriesAreLeftAlone) {
  MakeDirs("outside");
  Put("outside/kept", "kept");
  Link(Native("outside"), "DirLink");
  Put("plain", "x");

  EXPECT_TRUE(IsSymbolicLink(Store("dirlink")));
  EXPECT_FALSE(IsSymbolicLink(Store("outside")));
  EXPECT_FALSE(DeleteSymbolicLink(Store("plain")));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_TRUE(Exists("plain"));
  EXPECT_TRUE(DeleteSymbolicLink(Store("DIRLINK")));
  EXPECT_FALSE(Exists("DirLink"));
  EXPECT_EQ(Get("outside/kept"), "kept");
}

TEST_F(RealPathTest, FifosAndDevicesAreRefusedAtOnceNeverWaitedOn) {
  ASSERT_EQ(::mkfifo(Native("queue.MAI").c_str(), 0600), 0);
  alarm(20);  // an open that waits for a writer would hang the test
  for (Access access : {Access::kRead, Access::kWrite, Access::kReadWrite}) {
    EXPECT_FALSE(File::Open(Store("QUEUE.mai"), access, Disposition::kOpenExisting).valid());
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  }
  std::string contents;
  EXPECT_FALSE(ReadWholeFile("/dev/zero", &contents));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  // A file read through once is probed only at its second read: a FIFO
  // gives nothing at once, a device one read, a directory none.
  char buffer[64];
  File queue = File::OpenForReadingThrough(Store("QUEUE.mai"));
  ASSERT_TRUE(queue.valid());
  EXPECT_LE(queue.Read(buffer, sizeof buffer), 0);
  File device = File::OpenForReadingThrough("/dev/zero");
  EXPECT_EQ(device.Read(buffer, sizeof buffer), 64);
  EXPECT_EQ(device.Read(buffer, sizeof buffer), -1);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  MakeDirs("folder");
  File folder = File::OpenForReadingThrough(Store("FOLDER"));
  EXPECT_EQ(folder.Read(buffer, sizeof buffer), -1);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  alarm(0);
  Put("plain", "x");
  EXPECT_TRUE(File::Open(Store("plain"), Access::kReadWrite, Disposition::kOpenExisting).valid());
}

}  // namespace
}  // namespace qx::platform
