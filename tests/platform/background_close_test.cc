// Files deleted while open and closed in the background: the names go at
// once, every descriptor is closed by the time the closing thread is
// finished, and a forked child, which has no such thread, can still hand
// files over and finish.

#include "platform/background_close.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

class BackgroundCloseTest : public test::ScratchDirTest {};

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) >= 0; }

TEST_F(BackgroundCloseTest, DeletedFilesAreClosedByTheFinishAlsoInAForkedChild) {
  Directory folder = Directory::Open(Store(""));
  ASSERT_TRUE(folder.valid());
  std::vector<int> handed;
  for (int i = 0; i < 50; ++i) {
    const std::string name = "Y" + std::to_string(i) + ".CAL";
    Put(name, "1\t2\tx.MAI");
    File held = folder.OpenUnlockedForReading(name);
    ASSERT_TRUE(held.valid());
    ASSERT_TRUE(folder.DeleteUnlocked(name));
    EXPECT_FALSE(Exists(name));
    handed.push_back(held.fd());
    CloseInBackground(std::move(held));
    if (i == 24) FinishBackgroundCloses();  // the next hand-over starts the thread again
  }
  FinishBackgroundCloses();
  for (const int fd : handed) EXPECT_FALSE(IsOpen(fd)) << fd;

  CloseInBackground(folder.OpenUnlockedForReading("."));  // the thread runs across the fork
  const pid_t child = ::fork();
  if (child == 0) {
    Put("child", "x");
    File file = folder.OpenUnlockedForReading("child");
    const int fd = file.fd();
    CloseInBackground(std::move(file));
    FinishBackgroundCloses();
    ::_exit(IsOpen(fd) ? 1 : 0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  FinishBackgroundCloses();
}

}  // namespace
}  // namespace qx::platform
