#include "platform/file_time.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/file.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

constexpr uint64_t kSecond = kTicksPerSecond;

// 2022-03-04 05:06:07 UTC, Unix time 1646370367.
constexpr uint64_t kMarch2022 = kUnixEpochAsFileTime + 1646370367ULL * kSecond;

TEST(FileTimeTest, DosDateAndTime) {
  uint16_t date = 0;
  uint16_t time = 0;
  ASSERT_TRUE(FileTimeToDosDateTime(kMarch2022 + 9999999, &date, &time));
  EXPECT_EQ(date, (42 << 9) | (3 << 5) | 4);
  EXPECT_EQ(time, (5 << 11) | (6 << 5) | 3);  // 7 seconds: two-second grain
  EXPECT_EQ(DosStampFromFileTime(kMarch2022), (uint32_t{date} << 16) | time);
  EXPECT_EQ(DosDateTimeToFileTime(date, time), kMarch2022 - kSecond);

  // The first and last moments a stamp holds, and the times beyond them.
  const uint64_t first = DosDateTimeToFileTime((0 << 9) | (1 << 5) | 1, 0);
  EXPECT_EQ(first, kUnixEpochAsFileTime + 315532800ULL * kSecond);
  date = 0x1234;
  time = 0x5678;
  EXPECT_FALSE(FileTimeToDosDateTime(first - 1, &date, &time));
  EXPECT_EQ(date, 0x1234);
  const uint64_t last = DosDateTimeToFileTime((127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29);
  EXPECT_FALSE(FileTimeToDosDateTime(last + 2 * kSecond, &date, &time));
  // Stamps naming no real date (February 29 of 2022).
  EXPECT_EQ(DosDateTimeToFileTime((42 << 9) | (2 << 5) | 29, 0), 0u);
}

class CreationTimeTest : public test::ScratchDirTest {
 protected:
  uint64_t CreationOf(const std::string& store_path) {
    FileTimes times;
    EXPECT_TRUE(GetFileTimes(store_path, &times));
    return times.creation;
  }
};

TEST_F(CreationTimeTest, StaysFixedThroughWritesAndRenames) {
  const std::string folder = Store("INBOX");
  ASSERT_TRUE(CreateDirectory(folder));
  const uint64_t folder_created = CreationOf(folder);
  ASSERT_NE(folder_created, 0u);

  File file = File::Open(folder + "\\a.tmp", Access::kWrite, Disposition::kCreateNew);
  ASSERT_TRUE(file.valid());
  FileTimes at_create;
  ASSERT_TRUE(file.GetTimes(&at_create));
  ::usleep(20000);
  ASSERT_TRUE(file.Write("From: someone\r\n"));
  file.Close();
  ASSERT_TRUE(MoveFile(folder + "\\a.tmp", folder + "\\A.MAI"));
  EXPECT_EQ(CreationOf(folder + "\\a.mai"), at_create.creation);

  // The folder's creation time is its UID validity: moving it or changing
  // its contents must not move it.
  ASSERT_TRUE(CreateDirectory(folder + "\\Sub"));
  ASSERT_TRUE(MoveFile(folder, Store("Renamed")));
  EXPECT_EQ(CreationOf(Store("renamed")), folder_created);
}

TEST_F(CreationTimeTest, KeptInAnAttributeWhereNoBirthTimeExists) {
  const std::string path = Native("kept.mai");
  Put("kept.mai", "x");
  if (::setxattr(path.c_str(), "user.qx.probe", "1", 1, 0) != 0) GTEST_SKIP() << "no user attributes";

  EXPECT_EQ(KeptCreationTime(FileRef{.native_path = path.c_str()}, 1000), 1000u);

  const std::string moved = Native("moved.mai");
  ASSERT_EQ(::rename(path.c_str(), moved.c_str()), 0);
  const int fd = ::open(moved.c_str(), O_RDONLY);
  EXPECT_EQ(KeptCreationTime(FileRef{.fd = fd}, 2000), 1000u);
  ::close(fd);

  // A damaged value is replaced by the current guess and then kept.
  ASSERT_EQ(::setxattr(moved.c_str(), "user.qx.btime", "junk", 4, 0), 0);
  EXPECT_EQ(KeptCreationTime(FileRef{.native_path = moved.c_str()}, 3000), 3000u);
  EXPECT_EQ(KeptCreationTime(FileRef{.native_path = moved.c_str()}, 4000), 3000u);
}

}  // namespace
}  // namespace qx::platform
