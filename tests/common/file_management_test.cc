#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/exception.h"
#include "common/file_iterator.h"
#include "common/file_management.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "support/test_store.h"

namespace qx {
namespace {

class FileManagementTest : public test::StoreTest {
 protected:
  void TearDown() override {
    platform::ClearFaults();
    test::StoreTest::TearDown();
  }

  std::string Path(const std::string& below) const { return root() + "/" + below; }

  static std::string MessageOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const Exception& thrown) {
      EXPECT_EQ(thrown.source_file(), "common/FileManagement");
      return thrown.message();
    }
    return "(nothing thrown)";
  }
};

TEST(GetParentDirectoryTest, SeparatorRules) {
  EXPECT_EQ(GetParentDirectory("C:\\dir\\sub\\"), "C:\\dir");
  EXPECT_EQ(GetParentDirectory("C:\\dir\\sub\\\\"), "C:\\dir\\sub");
  EXPECT_EQ(GetParentDirectory("C:\\dir\\sub"), "C:\\dir");
  EXPECT_EQ(GetParentDirectory("C:\\dir\\\\\\sub"), "C:\\dir");
  EXPECT_EQ(GetParentDirectory("/var/mail/po/"), "/var/mail");
  EXPECT_EQ(GetParentDirectory("a/b\\c"), "a/b");
  EXPECT_EQ(GetParentDirectory("file.txt"), "");
  EXPECT_EQ(GetParentDirectory("\\x"), "");
  EXPECT_EQ(GetParentDirectory("\\"), "");
  EXPECT_EQ(GetParentDirectory("a\\"), "");
  EXPECT_EQ(GetParentDirectory(""), "");
}

TEST_F(FileManagementTest, CreateDirectoriesBuildsTopDownAndStopsAtTheFailingLevel) {
  EXPECT_EQ(MessageOf([] { CreateDirectories(""); }), "Empty path");
  EXPECT_FALSE(CreateDirectories("", true));

  // The middle level cannot be made: the top one is left made, the rest not.
  platform::InjectFault(platform::FaultOp::kCreateDirectory, "lvl-two", platform::kErrorAccessDenied);
  std::string deep = Path("lvl-one\\lvl-two\\lvl-three");
  EXPECT_EQ(MessageOf([&] { CreateDirectories(deep); }),
            "Failed to create directory (" + Path("lvl-one\\lvl-two") + ")");
  EXPECT_TRUE(Exists(Path("lvl-one")));
  EXPECT_FALSE(Exists(Path("lvl-one/lvl-two")));

  platform::InjectFault(platform::FaultOp::kCreateDirectory, "lvl-two", platform::kErrorAccessDenied);
  EXPECT_FALSE(CreateDirectories(deep, true));

  EXPECT_TRUE(CreateDirectories(deep));
  EXPECT_TRUE(platform::IsDirectory(Path("lvl-one/lvl-two/lvl-three")));
  // Existing levels are left alone, so a failing create no longer matters.
  platform::InjectFault(platform::FaultOp::kCreateDirectory, "", platform::kErrorAccessDenied, -1);
  EXPECT_TRUE(CreateDirectories(deep));
}

TEST_F(FileManagementTest, WriteTextCreatesParentsAndReplacesContents) {
  std::string file = Path("w/x/y.txt");
  EXPECT_TRUE(WriteTextToFile(file, std::string("first\0line", 10)));
  EXPECT_EQ(ReadFile(file), std::string("first\0line", 10));
  EXPECT_TRUE(WriteTextToFile(file, "2"));
  EXPECT_EQ(ReadFile(file), "2");

  platform::InjectFault(platform::FaultOp::kOpen, "y.txt", platform::kErrorAccessDenied);
  EXPECT_EQ(MessageOf([&] { WriteTextToFile(file, "3"); }),
            "Failed to open file " + file + " for output");
  platform::InjectFault(platform::FaultOp::kWrite, "y.txt", platform::kErrorDiskFull);
  EXPECT_FALSE(WriteTextToFile(file, "4", true));
}

TEST_F(FileManagementTest, DeleteTreeStopsAtTheFirstFailure) {
  WriteFile(Path("tree/a.txt"), "a");
  WriteFile(Path("tree/b.txt"), "b");
  WriteFile(Path("tree/c/d.txt"), "d");
  WriteFile(Path("tree/e.txt"), "e");

  platform::InjectFault(platform::FaultOp::kDelete, "b.txt", platform::kErrorSharingViolation);
  EXPECT_EQ(MessageOf([&] { DeleteTree(Path("tree")); }),
            "Call to DeleteFile failed for " + Path("tree") +
                "\\b.txt (GetLastError() returned 32)");
  // Listed in name order: a.txt went, everything from b.txt on is still there.
  EXPECT_FALSE(Exists(Path("tree/a.txt")));
  EXPECT_TRUE(Exists(Path("tree/b.txt")));
  EXPECT_TRUE(Exists(Path("tree/c/d.txt")));
  EXPECT_TRUE(Exists(Path("tree/e.txt")));

  DeleteTree(Path("tree"));
  EXPECT_FALSE(Exists(Path("tree")));
  EXPECT_EQ(MessageOf([&] { DeleteTree(Path("tree")); }),
            "Call to DeleteFile failed for " + Path("tree") + " (GetLastError() returned 2)");
}

TEST_F(FileManagementTest, MoveFileOrTreeReplacesOnlyWhenAsked) {
  WriteFile(Path("from/inner/m.mai"), "new");
  WriteFile(Path("to/old.mai"), "old");

  EXPECT_EQ(MessageOf([&] { MoveFileOrTree(Path("missing"), Path("x"), true); }),
            "File not found: " + Path("missing"));
  EXPECT_EQ(MessageOf([&] { MoveFileOrTree(Path("from"), Path("to"), false); }),
            "Call to MoveFile failed (GetLastError() returned 183)");
  EXPECT_TRUE(Exists(Path("to/old.mai")));

  MoveFileOrTree(Path("from"), Path("to"), true);
  EXPECT_FALSE(Exists(Path("from")));
  EXPECT_FALSE(Exists(Path("to/old.mai")));
  EXPECT_EQ(ReadFile(Path("to/inner/m.mai")), "new");

  // The target's parent is created on the way.
  MoveFileOrTree(Path("to/inner/m.mai"), Path("deep/er/m.mai"), false);
  EXPECT_EQ(ReadFile(Path("deep/er/m.mai")), "new");
}

TEST_F(FileManagementTest, CopyTreeCopiesEverythingAndReportsFailedCopies) {
  WriteFile(Path("src/one.mai"), "1");
  WriteFile(Path("src/sub/two.mai"), "22");
  WriteFile(Path("dst/one.mai"), "old");

  EXPECT_TRUE(CopyTree(Path("src"), Path("dst"), false, nullptr));
  EXPECT_EQ(ReadFile(Path("dst/one.mai")), "1");
  EXPECT_EQ(ReadFile(Path("dst/sub/two.mai")), "22");
  EXPECT_EQ(ReadFile(Path("src/sub/two.mai")), "22");

  uint32_t error = 0;
  platform::InjectFault(platform::FaultOp::kCopy, "two.mai", platform::kErrorDiskFull);
  EXPECT_FALSE(CopyTree(Path("src"), Path("dst2"), true, &error));
  EXPECT_EQ(error, platform::kErrorDiskFull);

  platform::InjectFault(platform::FaultOp::kCopy, "one.mai", platform::kErrorAccessDenied);
  EXPECT_EQ(MessageOf([&] { CopyTree(Path("src/one.mai"), Path("dst3/one.mai"), false, &error); }),
            "Call to CopyFile failed (GetLastError() returned 5)");
  EXPECT_EQ(error, platform::kErrorAccessDenied);
  EXPECT_EQ(MessageOf([&] { CopyTree(Path("nothing"), Path("dst4"), false, nullptr); }),
            "File not found: " + Path("nothing"));
  EXPECT_FALSE(CopyTree(Path("nothing"), Path("dst4"), true, nullptr));
}

TEST_F(FileManagementTest, PathChecksAndFilteredIteration) {
  WriteFile(Path("list/b.txt"), "b");
  MakeDirs(Path("list/a-dir"));
  EXPECT_TRUE(PathExists(Path("list")));
  EXPECT_TRUE(PathExists(Path("list/b.txt")));
  EXPECT_FALSE(PathExists(Path("list/none")));
  EXPECT_TRUE(IsValidPath(Path("list/none")));

  FileIterator everything(Path("list\\*"));
  std::vector<std::string> names;
  for (std::string name = everything.First(); everything.More(); name = everything.Next()) {
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a-dir", "b.txt"}));
  EXPECT_EQ(everything.Next(), "");

  FileIterator directories(Path("list\\*"), platform::kAttributeDirectory);
  names.clear();
  for (std::string name = directories.First(); directories.More(); name = directories.Next()) {
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a-dir"}));

  FileIterator none(Path("list\\*.none"));
  EXPECT_EQ(none.First(), "");
  EXPECT_FALSE(none.More());
}

}  // namespace
}  // namespace qx
