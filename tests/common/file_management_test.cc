#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/exception.h"
#include "common/file_management.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "support/test_store.h"

namespace qx {
namespace {

using platform::FaultOp;
using platform::InjectFault;

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

TEST_F(FileManagementTest, CreateDirectoriesAndWriteStopAtTheFailingStep) {
  EXPECT_EQ(MessageOf([] { CreateDirectories(""); }), "Empty path");
  // The middle level cannot be made: the top one is left made, the rest not.
  InjectFault(FaultOp::kCreateDirectory, "lvl-two", platform::kErrorAccessDenied);
  const std::string deep = Path("lvl-one\\lvl-two\\lvl-three");
  EXPECT_EQ(MessageOf([&] { CreateDirectories(deep); }),
            "Failed to create directory (" + Path("lvl-one\\lvl-two") + ")");
  EXPECT_TRUE(Exists(Path("lvl-one")));
  EXPECT_FALSE(Exists(Path("lvl-one/lvl-two")));
  EXPECT_TRUE(CreateDirectories(deep));

  const std::string file = Path("w/x/y.txt");
  EXPECT_TRUE(WriteTextToFile(file, "first line"));
  EXPECT_TRUE(WriteTextToFile(file, "2"));
  EXPECT_EQ(ReadFile(file), "2");
  InjectFault(FaultOp::kOpen, "y.txt", platform::kErrorAccessDenied);
  EXPECT_EQ(MessageOf([&] { WriteTextToFile(file, "3"); }), "Failed to open file " + file + " for output");
}

TEST_F(FileManagementTest, DeleteTreeStopsAtTheFirstFailure) {
  for (const char* name : {"tree/a.txt", "tree/b.txt", "tree/c/d.txt", "tree/e.txt"}) WriteFile(Path(name), "x");
  InjectFault(FaultOp::kDelete, "b.txt", platform::kErrorSharingViolation);
  EXPECT_EQ(MessageOf([&] { DeleteTree(Path("tree")); }),
            "Call to DeleteFile failed for " + Path("tree") + "\\b.txt (GetLastError() returned 32)");
  // Listed in name order: a.txt went, everything from b.txt on is still there.
  EXPECT_FALSE(Exists(Path("tree/a.txt")));
  EXPECT_TRUE(Exists(Path("tree/b.txt")));
  EXPECT_TRUE(Exists(Path("tree/c/d.txt")));
}

TEST_F(FileManagementTest, MoveAndCopyTreesReplaceOnlyWhenAskedAndReportFailures) {
  WriteFile(Path("from/inner/m.mai"), "new");
  WriteFile(Path("to/old.mai"), "old");
  EXPECT_EQ(MessageOf([&] { MoveFileOrTree(Path("from"), Path("to"), false); }),
            "Call to MoveFile failed (GetLastError() returned 183)");
  EXPECT_TRUE(Exists(Path("to/old.mai")));
  MoveFileOrTree(Path("from"), Path("to"), true);
  EXPECT_FALSE(Exists(Path("from")));
  EXPECT_FALSE(Exists(Path("to/old.mai")));
  EXPECT_EQ(ReadFile(Path("to/inner/m.mai")), "new");

  WriteFile(Path("dst/inner/m.mai"), "old");
  EXPECT_TRUE(CopyTree(Path("to"), Path("dst"), false, nullptr));
  EXPECT_EQ(ReadFile(Path("dst/inner/m.mai")), "new");
  uint32_t error = 0;
  InjectFault(FaultOp::kCopy, "m.mai", platform::kErrorDiskFull);
  EXPECT_FALSE(CopyTree(Path("to"), Path("dst2"), true, &error));
  EXPECT_EQ(error, platform::kErrorDiskFull);
}

}  // namespace
}  // namespace qx
