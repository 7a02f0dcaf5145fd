#include "platform/file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "platform/listing.h"

namespace qx::platform {
namespace {

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qx-file-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    root_ = dir;
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::string Store(const std::string& relative) const { return root_ + "\\" + relative; }
  std::string Native(const std::string& relative) const { return root_ + "/" + relative; }

  void Put(const std::string& relative, const std::string& contents) const {
    std::ofstream(Native(relative), std::ios::binary) << contents;
  }
  std::string Get(const std::string& relative) const {
    std::ifstream in(Native(relative), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(std::filesystem::symlink_status(Native(relative)));
  }

  std::string root_;
};

// Runs `hold` in a child process, which keeps what it opened until told to go.
class Holder {
 public:
  explicit Holder(const std::function<bool()>& hold) {
    if (::pipe(ready_) != 0 || ::pipe(release_) != 0) return;
    child_ = ::fork();
    if (child_ == 0) {
      char answer = hold() ? 'y' : 'n';
      (void)!::write(ready_[1], &answer, 1);
      (void)!::read(release_[0], &answer, 1);
      ::_exit(0);
    }
    char answer = 'n';
    held_ = ::read(ready_[0], &answer, 1) == 1 && answer == 'y';
  }
  ~Holder() { Release(); }
  bool held() const { return held_; }
  void Release() {
    if (child_ <= 0) return;
    (void)!::write(release_[1], "x", 1);
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
    for (int fd : {ready_[0], ready_[1], release_[0], release_[1]}) ::close(fd);
  }

 private:
  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t child_ = -1;
  bool held_ = false;
};

TEST_F(FileTest, ExclusiveHolderElsewhereBlocksOpenAndDeleteUntilClosed) {
  Put("_index.blk", "keep");
  const std::string path = Store("_index.blk");
  Holder holder([&] {
    static File held;
    held = File::Open(path, Access::kWrite, Disposition::kOpenExisting, Sharing::kExclusive);
    return held.valid();
  });
  ASSERT_TRUE(holder.held());

  EXPECT_FALSE(File::Open(path, Access::kRead, Disposition::kOpenExisting).valid());
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_FALSE(File::Open(Store("_INDEX.BLK"), Access::kRead, Disposition::kOpenExisting).valid());
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_FALSE(DeleteFile(path));
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  // Refused truncating opens leave the holder's bytes alone.
  EXPECT_FALSE(File::Open(path, Access::kWrite, Disposition::kCreateAlways).valid());
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_FALSE(File::Open(path, Access::kWrite, Disposition::kTruncateExisting).valid());
  EXPECT_FALSE(MoveFileEx(path, Store("moved"), false));
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_EQ(Get("_index.blk"), "keep");

  holder.Release();
  File reader = File::Open(path, Access::kRead, Disposition::kOpenExisting);
  EXPECT_TRUE(reader.valid());
  reader.Close();
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(Exists("_index.blk"));
}

TEST_F(FileTest, SharedHolderElsewhereBlocksOnlyExclusiveOpens) {
  Put("data.tmp", "1234");
  const std::string path = Store("data.tmp");
  Holder holder([&] {
    static File held;
    held = File::Open(path, Access::kRead, Disposition::kOpenExisting);
    return held.valid();
  });
  ASSERT_TRUE(holder.held());

  EXPECT_FALSE(
      File::Open(path, Access::kReadWrite, Disposition::kOpenExisting, Sharing::kExclusive).valid());
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_TRUE(File::Open(path, Access::kReadWrite, Disposition::kOpenExisting).valid());
  EXPECT_TRUE(DeleteFile(path));
}

TEST_F(FileTest, DispositionsAndTheirErrors) {
  File created = File::Open(Store("Block.BLK"), Access::kWrite, Disposition::kCreateNew,
                            Sharing::kExclusive);
  ASSERT_TRUE(created.valid());
  EXPECT_EQ(GetLastError(), kErrorSuccess);
  EXPECT_TRUE(created.Write("abc"));
  created.Close();

  EXPECT_FALSE(File::Open(Store("Block.BLK"), Access::kWrite, Disposition::kCreateNew).valid());
  EXPECT_EQ(GetLastError(), kErrorFileExists);
  EXPECT_FALSE(File::Open(Store("block.blk"), Access::kWrite, Disposition::kCreateNew).valid());
  EXPECT_EQ(GetLastError(), kErrorFileExists);
  EXPECT_FALSE(File::Open(Store("nodir\\x.blk"), Access::kWrite, Disposition::kCreateNew).valid());
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(File::Open(Store("missing"), Access::kRead, Disposition::kOpenExisting).valid());
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(File::Open(Store("nodir\\x"), Access::kRead, Disposition::kOpenExisting).valid());
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(File::Open(Store("missing"), Access::kWrite, Disposition::kTruncateExisting).valid());
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(Exists("missing"));

  // Open-always keeps the bytes and reports that the file was there.
  File kept = File::Open(Store("BLOCK.blk"), Access::kReadWrite, Disposition::kOpenAlways);
  ASSERT_TRUE(kept.valid());
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_EQ(kept.Size(), 3);
  kept.Close();
  File truncated = File::Open(Store("block.BLK"), Access::kWrite, Disposition::kCreateAlways);
  ASSERT_TRUE(truncated.valid());
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  truncated.Close();
  EXPECT_EQ(Get("Block.BLK"), "");
  EXPECT_FALSE(Exists("block.BLK"));

  File fresh = File::Open(Store("New.txt"), Access::kWrite, Disposition::kOpenAlways);
  ASSERT_TRUE(fresh.valid());
  EXPECT_EQ(GetLastError(), kErrorSuccess);
  EXPECT_TRUE(Exists("New.txt"));
}

TEST_F(FileTest, ReadWriteSeekTruncate) {
  File file = File::Open(Store("_DIRSIZE.TMP"), Access::kReadWrite, Disposition::kCreateNew);
  ASSERT_TRUE(file.valid());
  ASSERT_TRUE(file.Write("123456"));
  ASSERT_TRUE(file.Seek(0));
  char buffer[16] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 6);
  EXPECT_EQ(std::string(buffer, 6), "123456");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  ASSERT_TRUE(file.Seek(0));
  ASSERT_TRUE(file.Write("42"));
  ASSERT_TRUE(file.Truncate(2));
  ASSERT_TRUE(file.Flush());
  EXPECT_EQ(file.Size(), 2);
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(Get("_DIRSIZE.TMP"), "42");
  EXPECT_FALSE(file.Close());
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);

  std::string contents;
  EXPECT_TRUE(ReadWholeFile(Store("_dirsize.tmp"), &contents));
  EXPECT_EQ(contents, "42");
  EXPECT_FALSE(ReadWholeFile(Store("none"), &contents));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_EQ(GetFileSize(Store("_DIRSIZE.TMP")), 2);
  EXPECT_EQ(GetFileSize(Store("none")), -1);
}

TEST_F(FileTest, HandlesRoundTripAndRejectBadValues) {
  Put("h.txt", "handle");
  File file = File::Open(Store("h.txt"), Access::kRead, Disposition::kOpenExisting);
  const uintptr_t handle = file.ReleaseToHandle();
  EXPECT_NE(handle, 0u);
  EXPECT_FALSE(file.valid());
  EXPECT_EQ(file.ReleaseToHandle(), 0u);

  File back = File::FromHandle(handle);
  ASSERT_TRUE(back.valid());
  char buffer[8] = {};
  EXPECT_EQ(back.Read(buffer, sizeof buffer), 6);
  EXPECT_TRUE(back.Close());

  EXPECT_FALSE(File::FromHandle(handle).valid());
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_FALSE(File::FromHandle(0).valid());
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

TEST_F(FileTest, AttributesAndReadOnlyFiles) {
  Put("plain", "x");
  std::filesystem::create_directory(Native("Folder"));
  EXPECT_EQ(GetFileAttributes(Store("PLAIN")), kAttributeNormal);
  EXPECT_EQ(GetFileAttributes(Store("folder")), kAttributeDirectory);
  EXPECT_TRUE(IsDirectory(Store("FOLDER")));
  EXPECT_FALSE(IsDirectory(Store("plain")));
  EXPECT_EQ(GetFileAttributes(Store("none")), kInvalidAttributes);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_EQ(GetFileAttributes(Store("none\\x")), kInvalidAttributes);
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);

  ASSERT_TRUE(SetFileAttributes(Store("plain"), kAttributeReadOnly));
  EXPECT_EQ(::access(Native("plain").c_str(), F_OK), 0);
  struct stat info {};
  ::stat(Native("plain").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0222, 0u);
  EXPECT_EQ(GetFileAttributes(Store("plain")), kAttributeReadOnly);
  EXPECT_FALSE(DeleteFile(Store("plain")));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_TRUE(Exists("plain"));

  ASSERT_TRUE(SetFileAttributes(Store("plain"), kAttributeNormal));
  EXPECT_EQ(GetFileAttributes(Store("plain")), kAttributeNormal);
  EXPECT_TRUE(DeleteFile(Store("Plain")));
  EXPECT_FALSE(Exists("plain"));
}

TEST_F(FileTest, DeleteFileErrors) {
  std::filesystem::create_directory(Native("dir"));
  EXPECT_FALSE(DeleteFile(Store("dir")));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_TRUE(Exists("dir"));
  EXPECT_FALSE(DeleteFile(Store("none")));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(DeleteFile(Store("none\\x")));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST_F(FileTest, DirectoriesCreateAndRemove) {
  EXPECT_TRUE(CreateDirectory(Store("INBOX")));
  EXPECT_FALSE(CreateDirectory(Store("INBOX")));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_FALSE(CreateDirectory(Store("a\\b")));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(Exists("a"));
  Put("file", "");
  EXPECT_FALSE(CreateDirectory(Store("FILE")));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);

  Put("INBOX/m.mai", "x");
  EXPECT_FALSE(RemoveDirectory(Store("inbox")));
  EXPECT_EQ(GetLastError(), kErrorDirNotEmpty);
  EXPECT_FALSE(RemoveDirectory(Store("file")));
  EXPECT_EQ(GetLastError(), kErrorDirectoryName);
  EXPECT_FALSE(RemoveDirectory(Store("none")));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  ASSERT_TRUE(DeleteFile(Store("Inbox\\M.MAI")));
  EXPECT_TRUE(RemoveDirectory(Store("inbox")));
  EXPECT_FALSE(Exists("INBOX"));
}

TEST_F(FileTest, MovesKeepOrReplaceAsAsked) {
  Put("a.tmp", "new");
  Put("a.mai", "old");
  EXPECT_FALSE(MoveFile(Store("a.tmp"), Store("A.MAI")));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_EQ(Get("a.tmp"), "new");
  EXPECT_EQ(Get("a.mai"), "old");

  EXPECT_TRUE(MoveFileEx(Store("A.TMP"), Store("A.MAI"), true));
  EXPECT_EQ(Get("a.mai"), "new");
  EXPECT_FALSE(Exists("a.tmp"));
  EXPECT_FALSE(Exists("A.MAI"));

  EXPECT_FALSE(MoveFile(Store("a.tmp"), Store("b")));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(MoveFile(Store("a.mai"), Store("nodir\\b")));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_EQ(Get("a.mai"), "new");

  std::filesystem::create_directories(Native("Work/sub"));
  std::filesystem::create_directories(Native("Archive"));
  EXPECT_FALSE(MoveFileEx(Store("a.mai"), Store("archive"), true));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_FALSE(MoveFile(Store("work"), Store("ARCHIVE")));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_TRUE(MoveFile(Store("work"), Store("Archive\\Work2")));
  EXPECT_TRUE(Exists("Archive/Work2/sub"));
}

TEST_F(FileTest, MoveOntoAnotherSpellingRenamesTheEntry) {
  std::filesystem::create_directories(Native("INBOX"));
  Put("INBOX/m.mai", "x");
  ASSERT_TRUE(MoveFile(Store("INBOX"), Store("Inbox")));
  EXPECT_TRUE(Exists("Inbox/m.mai"));
  EXPECT_FALSE(Exists("INBOX"));
  ASSERT_TRUE(MoveFileEx(Store("inbox\\m.mai"), Store("Inbox\\M.MAI"), false));
  EXPECT_EQ(Get("Inbox/M.MAI"), "x");
  EXPECT_FALSE(Exists("Inbox/m.mai"));
}

TEST_F(FileTest, CopiesContentsAndTimesAndNeverHarmsTheSource) {
  Put("src.mai", "message body");
  FileTimes old_times;
  old_times.last_write = 132000000000000000ULL;
  ASSERT_TRUE(SetFileTimes(Store("src.mai"), old_times));

  ASSERT_TRUE(CopyFile(Store("SRC.MAI"), Store("copy.mai"), true));
  EXPECT_EQ(Get("copy.mai"), "message body");
  FileTimes copied;
  ASSERT_TRUE(GetFileTimes(Store("copy.mai"), &copied));
  EXPECT_EQ(copied.last_write, old_times.last_write);

  Put("other.mai", "x");
  EXPECT_FALSE(CopyFile(Store("src.mai"), Store("OTHER.mai"), true));
  EXPECT_EQ(GetLastError(), kErrorFileExists);
  EXPECT_EQ(Get("other.mai"), "x");
  ASSERT_TRUE(CopyFile(Store("src.mai"), Store("OTHER.mai"), false));
  EXPECT_EQ(Get("other.mai"), "message body");

  EXPECT_FALSE(CopyFile(Store("src.mai"), Store("Src.Mai"), false));
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_EQ(Get("src.mai"), "message body");

  EXPECT_FALSE(CopyFile(Store("none"), Store("x"), false));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(Exists("x"));
}

TEST_F(FileTest, TimesThroughHandleAndPath) {
  File file = File::Open(Store("t.mai"), Access::kReadWrite, Disposition::kCreateNew);
  ASSERT_TRUE(file.valid());
  FileTimes set;
  set.last_access = 131000000000000000ULL;
  set.last_write = 132000000012345670ULL;
  ASSERT_TRUE(file.SetTimes(set));
  FileTimes through_handle;
  ASSERT_TRUE(file.GetTimes(&through_handle));
  EXPECT_EQ(through_handle.last_write, set.last_write);
  EXPECT_EQ(through_handle.last_access, set.last_access);
  EXPECT_NE(through_handle.creation, 0u);

  // Zero leaves a time as it is.
  ASSERT_TRUE(SetFileTimes(Store("T.MAI"), FileTimes{.last_access = 0, .last_write = 133000000000000000ULL}));
  FileTimes through_path;
  ASSERT_TRUE(GetFileTimes(Store("t.mai"), &through_path));
  EXPECT_EQ(through_path.last_write, 133000000000000000ULL);
  EXPECT_EQ(through_path.last_access, set.last_access);
  EXPECT_EQ(through_path.creation, through_handle.creation);
  EXPECT_FALSE(GetFileTimes(Store("none"), &through_path));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

TEST_F(FileTest, LastErrorIsPerThread) {
  SetLastError(kErrorDiskFull);
  std::thread other([] {
    EXPECT_EQ(GetLastError(), kErrorSuccess);
    EXPECT_FALSE(DeleteFile("/nonexistent-qx-dir/x"));
    EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  });
  other.join();
  EXPECT_EQ(GetLastError(), kErrorDiskFull);
  EXPECT_EQ(ErrorFromErrno(ENOENT, ErrnoContext{.parent_missing = true}), kErrorPathNotFound);
  EXPECT_EQ(ErrorFromErrno(EEXIST), kErrorFileExists);
  EXPECT_EQ(ErrorFromErrno(EEXIST, ErrnoContext{.exists_is_already_exists = true}),
            kErrorAlreadyExists);
  EXPECT_EQ(ErrorFromErrno(ECONNREFUSED), 10061u);
}

}  // namespace
}  // namespace qx::platform
