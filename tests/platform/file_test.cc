#include "platform/file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "support/forked_holder.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

class FileTest : public test::ScratchDirTest {};

TEST_F(FileTest, ExclusiveHolderElsewhereBlocksOpenAndDeleteUntilClosed) {
  Put("_index.blk", "keep");
  const std::string path = Store("_index.blk");
  test::ForkedHolder holder([&] {
    static File held;
    held = File::Open(path, Access::kWrite, Disposition::kOpenExisting, Sharing::kExclusive);
    return held.valid();
  });
  ASSERT_TRUE(holder.held());

  const std::function<bool()> refused[] = {
      [&] { return File::Open(path, Access::kRead, Disposition::kOpenExisting).valid(); },
      [&] { return File::Open(Store("_INDEX.BLK"), Access::kRead, Disposition::kOpenExisting).valid(); },
      [&] { return DeleteFile(path); },
      // Refused truncating opens leave the holder's bytes alone.
      [&] { return File::Open(path, Access::kWrite, Disposition::kCreateAlways).valid(); },
  };
  for (const auto& call : refused) {
    EXPECT_FALSE(call());
    EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  }
  EXPECT_EQ(Get("_index.blk"), "keep");

  ASSERT_TRUE(holder.Release());
  EXPECT_TRUE(File::Open(path, Access::kRead, Disposition::kOpenExisting).valid());
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_FALSE(Exists("_index.blk"));

  // A plain holder elsewhere blocks only exclusive opens.
  Put("data.tmp", "1234");
  test::ForkedHolder reader([&] {
    static File held;
    held = File::Open(Store("data.tmp"), Access::kRead, Disposition::kOpenExisting);
    return held.valid();
  });
  ASSERT_TRUE(reader.held());
  EXPECT_FALSE(File::Open(Store("data.tmp"), Access::kReadWrite, Disposition::kOpenExisting,
                          Sharing::kExclusive).valid());
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_TRUE(DeleteFile(Store("data.tmp")));
}

TEST_F(FileTest, FailuresGiveTheOriginalErrorCodesAndChangeNothing) {
  Put("a.mai", "old");
  Put("a.tmp", "new");
  MakeDirs("dir");
  MakeDirs("Archive");
  Put("dir/m.mai", "x");
  auto open = [&](const char* name, Disposition disposition) {
    return File::Open(Store(name), Access::kWrite, disposition).valid();
  };
  struct Case {
    const char* what;
    std::function<bool()> call;
    uint32_t error;
  };
  const Case cases[] = {
      {"create existing", [&] { return open("A.MAI", Disposition::kCreateNew); }, kErrorFileExists},
      {"create under missing", [&] { return open("no\\x", Disposition::kCreateNew); }, kErrorPathNotFound},
      {"open missing", [&] { return open("none", Disposition::kOpenExisting); }, kErrorFileNotFound},
      {"delete directory", [&] { return DeleteFile(Store("dir")); }, kErrorAccessDenied},
      {"mkdir existing", [&] { return CreateDirectory(Store("DIR")); }, kErrorAlreadyExists},
      {"mkdir two levels", [&] { return CreateDirectory(Store("no\\x")); }, kErrorPathNotFound},
      {"rmdir not empty", [&] { return RemoveDirectory(Store("Dir")); }, kErrorDirNotEmpty},
      {"rmdir of file", [&] { return RemoveDirectory(Store("a.mai")); }, kErrorDirectoryName},
      {"move onto file", [&] { return MoveFile(Store("a.tmp"), Store("A.MAI")); }, kErrorAlreadyExists},
      {"move under missing", [&] { return MoveFile(Store("a.mai"), Store("no\\b")); }, kErrorPathNotFound},
      {"replace directory", [&] { return MoveFileEx(Store("a.mai"), Store("archive"), true); }, kErrorAccessDenied},
      {"copy onto file", [&] { return CopyFile(Store("a.mai"), Store("A.TMP"), true); }, kErrorFileExists},
      {"copy onto itself", [&] { return CopyFile(Store("a.mai"), Store("A.Mai"), false); }, kErrorSharingViolation},
      {"attributes under", [&] { return GetFileAttributes(Store("no\\x")) != kInvalidAttributes; }, kErrorPathNotFound},
      {"closed handle", [&] { return File::FromHandle(0).valid(); }, kErrorInvalidHandle},
  };
  for (const Case& c : cases) {
    SetLastError(kErrorSuccess);
    EXPECT_FALSE(c.call()) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  EXPECT_EQ(Get("a.mai"), "old");
  EXPECT_EQ(Get("a.tmp"), "new");
  EXPECT_TRUE(Exists("dir/m.mai"));
  for (const char* absent : {"none", "no", "x", "b"}) EXPECT_FALSE(Exists(absent)) << absent;
  EXPECT_EQ(ErrorFromErrno(ECONNREFUSED), 10061u);
  // The last error belongs to the thread.
  SetLastError(kErrorDiskFull);
  std::thread([] {
    EXPECT_EQ(GetLastError(), kErrorSuccess);
    EXPECT_FALSE(DeleteFile("/nonexistent-qx-dir/x"));
  }).join();
  EXPECT_EQ(GetLastError(), kErrorDiskFull);
}

TEST_F(FileTest, OpensMovesAndCopiesFindTheEntryInAnySpelling) {
  File created = File::Open(Store("Block.BLK"), Access::kWrite, Disposition::kCreateNew);
  ASSERT_TRUE(created.valid());
  EXPECT_EQ(GetLastError(), kErrorSuccess);
  EXPECT_TRUE(created.Write("abc"));
  created.Close();
  EXPECT_TRUE(File::Open(Store("block.BLK"), Access::kWrite, Disposition::kCreateAlways).valid());
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_EQ(Get("Block.BLK"), "");
  EXPECT_FALSE(Exists("block.BLK"));

  Put("a.tmp", "new");
  Put("a.mai", "old");
  EXPECT_TRUE(MoveFileEx(Store("A.TMP"), Store("A.MAI"), true));
  EXPECT_EQ(Get("a.mai"), "new");
  EXPECT_FALSE(Exists("A.MAI"));
  // Moving onto another spelling of the same entry renames it.
  MakeDirs("INBOX");
  ASSERT_TRUE(MoveFile(Store("a.mai"), Store("inbox\\m.mai")));
  ASSERT_TRUE(MoveFile(Store("INBOX"), Store("Inbox")));
  EXPECT_FALSE(Exists("INBOX"));

  // A copy takes the last-write time; a read-only file cannot be deleted.
  FileTimes old_times;
  old_times.last_write = 132000000000000000ULL;
  ASSERT_TRUE(SetFileTimes(Store("inbox\\m.mai"), old_times));
  ASSERT_TRUE(CopyFile(Store("INBOX\\M.MAI"), Store("copy.mai"), true));
  FileTimes copied;
  ASSERT_TRUE(GetFileTimes(Store("COPY.MAI"), &copied));
  EXPECT_EQ(copied.last_write, old_times.last_write);
  ASSERT_TRUE(SetFileAttributes(Store("copy.mai"), kAttributeReadOnly));
  EXPECT_FALSE(DeleteFile(Store("copy.mai")));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
}

}  // namespace
}  // namespace qx::platform
