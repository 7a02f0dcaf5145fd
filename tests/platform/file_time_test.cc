#include "platform/file_time.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file.h"
#include "platform/listing.h"

namespace qx::platform {
namespace {

constexpr uint64_t kSecond = kTicksPerSecond;

// 2022-03-04 05:06:07 UTC, Unix time 1646370367.
constexpr uint64_t kMarch2022 = kUnixEpochAsFileTime + 1646370367ULL * kSecond;

TEST(FileTimeTest, TimespecConversions) {
  struct timespec epoch {};
  EXPECT_EQ(FileTimeFromTimespec(epoch), kUnixEpochAsFileTime);
  struct timespec precise {};
  precise.tv_sec = 1646370367;
  precise.tv_nsec = 123456789;
  const uint64_t ticks = FileTimeFromTimespec(precise);
  EXPECT_EQ(ticks, kMarch2022 + 1234567);
  const struct timespec back = TimespecFromFileTime(ticks);
  EXPECT_EQ(back.tv_sec, 1646370367);
  EXPECT_EQ(back.tv_nsec, 123456700);
  struct timespec before_1601 {};
  before_1601.tv_sec = -11644473601LL;
  EXPECT_EQ(FileTimeFromTimespec(before_1601), 0u);
  EXPECT_EQ(TimespecFromFileTime(0).tv_sec, -11644473600LL);
}

TEST(FileTimeTest, DosDateAndTime) {
  uint16_t date = 0;
  uint16_t time = 0;
  ASSERT_TRUE(FileTimeToDosDateTime(kMarch2022 + 9999999, &date, &time));
  EXPECT_EQ(date, (42 << 9) | (3 << 5) | 4);
  EXPECT_EQ(time, (5 << 11) | (6 << 5) | 3);  // 7 seconds: two-second grain
  EXPECT_EQ(DosStampFromFileTime(kMarch2022), (uint32_t{date} << 16) | time);
  EXPECT_EQ(DosDateTimeToFileTime(date, time), kMarch2022 - kSecond);

  // 2024-02-29 23:59:58 survives the round trip.
  const uint64_t leap = kUnixEpochAsFileTime + 1709251198ULL * kSecond;
  ASSERT_TRUE(FileTimeToDosDateTime(leap, &date, &time));
  EXPECT_EQ(date, (44 << 9) | (2 << 5) | 29);
  EXPECT_EQ(DosDateTimeToFileTime(date, time), leap);

  // The first and last moments a stamp holds, and the times beyond them.
  const uint64_t first = DosDateTimeToFileTime((0 << 9) | (1 << 5) | 1, 0);
  EXPECT_EQ(first, kUnixEpochAsFileTime + 315532800ULL * kSecond);
  date = 0x1234;
  time = 0x5678;
  EXPECT_FALSE(FileTimeToDosDateTime(first - 1, &date, &time));
  EXPECT_EQ(date, 0x1234);
  EXPECT_EQ(time, 0x5678);
  const uint64_t last = DosDateTimeToFileTime((127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29);
  ASSERT_NE(last, 0u);
  EXPECT_TRUE(FileTimeToDosDateTime(last + kSecond, &date, &time));
  EXPECT_FALSE(FileTimeToDosDateTime(last + 2 * kSecond, &date, &time));
  EXPECT_EQ(DosStampFromFileTime(0), 0u);

  // Stamps naming no real date or time.
  EXPECT_EQ(DosDateTimeToFileTime((42 << 9) | (13 << 5) | 1, 0), 0u);
  EXPECT_EQ(DosDateTimeToFileTime((42 << 9) | (2 << 5) | 29, 0), 0u);
  EXPECT_EQ(DosDateTimeToFileTime((42 << 9) | (1 << 5) | 0, 0), 0u);
  EXPECT_EQ(DosDateTimeToFileTime((42 << 9) | (1 << 5) | 1, 24 << 11), 0u);
}

class CreationTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qx-times-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    root_ = dir;
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  uint64_t CreationOf(const std::string& store_path) {
    FileTimes times;
    EXPECT_TRUE(GetFileTimes(store_path, &times));
    return times.creation;
  }

  bool UserAttributesWork() {
    const std::string probe = root_ + "/probe";
    std::ofstream(probe) << "";
    return ::setxattr(probe.c_str(), "user.qx.probe", "1", 1, 0) == 0;
  }

  std::string root_;
};

TEST_F(CreationTimeTest, StaysFixedThroughWritesAndRenames) {
  const std::string folder = root_ + "\\INBOX";
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
  ASSERT_TRUE(SetFileAttributes(folder + "\\A.MAI", kAttributeReadOnly));
  EXPECT_EQ(CreationOf(folder + "\\a.mai"), at_create.creation);
  EXPECT_GE(at_create.creation, folder_created);

  // The folder's creation time is its UID validity: moving it or changing
  // its contents must not move it.
  ASSERT_TRUE(CreateDirectory(folder + "\\Sub"));
  ASSERT_TRUE(MoveFile(folder, root_ + "\\Renamed"));
  EXPECT_EQ(CreationOf(root_ + "\\renamed"), folder_created);
}

TEST_F(CreationTimeTest, KeptInAnAttributeWhereNoBirthTimeExists) {
  if (!UserAttributesWork()) GTEST_SKIP() << "no user attributes on this file system";
  const std::string path = root_ + "/kept.mai";
  std::ofstream(path) << "x";

  EXPECT_EQ(KeptCreationTime(FileRef{.native_path = path.c_str()}, 1000), 1000u);
  char text[32] = {};
  const ssize_t length = ::getxattr(path.c_str(), "user.qx.btime", text, sizeof text);
  EXPECT_EQ(std::string(text, length > 0 ? static_cast<size_t>(length) : 0), "1000");

  std::ofstream(path, std::ios::app) << "more";
  const std::string moved = root_ + "/moved.mai";
  std::filesystem::rename(path, moved);
  const int fd = ::open(moved.c_str(), O_RDONLY);
  EXPECT_EQ(KeptCreationTime(FileRef{.fd = fd}, 2000), 1000u);
  ::close(fd);

  // A statx result without a birth time takes the kept value.
  struct statx info {};
  ASSERT_EQ(::statx(AT_FDCWD, moved.c_str(), 0, kTimesStatxMask, &info), 0);
  info.stx_mask &= ~STATX_BTIME;
  EXPECT_EQ(TimesFromStatx(info, FileRef{.native_path = moved.c_str()}).creation, 1000u);

  // A damaged value is replaced by the current guess and then kept.
  ASSERT_EQ(::setxattr(moved.c_str(), "user.qx.btime", "junk", 4, 0), 0);
  EXPECT_EQ(KeptCreationTime(FileRef{.native_path = moved.c_str()}, 3000), 3000u);
  EXPECT_EQ(KeptCreationTime(FileRef{.native_path = moved.c_str()}, 4000), 3000u);
}

}  // namespace
}  // namespace qx::platform
