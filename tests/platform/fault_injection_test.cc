#include "platform/fault_injection.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/errors.h"
#include "platform/file.h"

namespace qx::platform {
namespace {

class FaultInjectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qx-faults-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    root_ = dir;
  }
  void TearDown() override {
    ClearFaults();
    std::filesystem::remove_all(root_);
  }

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
  bool Exists(const std::string& relative) const { return std::filesystem::exists(Native(relative)); }

  std::string root_;
};

TEST_F(FaultInjectionTest, OpenFailsOnlyForMatchingPathsAndOnlyAsOftenAsArmed) {
  InjectFault(FaultOp::kOpen, "_index.xml", kErrorAccessDenied, 1);
  EXPECT_TRUE(File::Open(Store("other.xml"), Access::kWrite, Disposition::kCreateNew).valid());
  EXPECT_FALSE(File::Open(Store("_index.xml"), Access::kWrite, Disposition::kCreateNew).valid());
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_FALSE(Exists("_index.xml"));
  EXPECT_TRUE(File::Open(Store("_index.xml"), Access::kWrite, Disposition::kCreateNew).valid());
}

TEST_F(FaultInjectionTest, FullDiskLeavesTheFileAsItWas) {
  Put("_DIRSIZE.TMP", "100");
  File file = File::Open(Store("_DIRSIZE.TMP"), Access::kReadWrite, Disposition::kOpenExisting);
  ASSERT_TRUE(file.valid());
  InjectFault(FaultOp::kWrite, "_DIRSIZE", kErrorDiskFull, 2);
  EXPECT_FALSE(file.Write("250"));
  EXPECT_EQ(GetLastError(), kErrorDiskFull);
  EXPECT_FALSE(file.Write("250"));
  EXPECT_EQ(Get("_DIRSIZE.TMP"), "100");
  EXPECT_TRUE(file.Write("250"));
  file.Close();
  EXPECT_EQ(Get("_DIRSIZE.TMP"), "250");
}

TEST_F(FaultInjectionTest, FailedOperationsTouchNothing) {
  Put("a.tmp", "new");
  Put("a.mai", "old");
  InjectFault(FaultOp::kMove, "a.mai", kErrorAccessDenied, 1);
  EXPECT_FALSE(MoveFileEx(Store("a.tmp"), Store("a.mai"), true));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_EQ(Get("a.tmp"), "new");
  EXPECT_EQ(Get("a.mai"), "old");

  InjectFault(FaultOp::kDelete, "", kErrorSharingViolation, 1);
  EXPECT_FALSE(DeleteFile(Store("a.tmp")));
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_TRUE(Exists("a.tmp"));

  InjectFault(FaultOp::kCreateDirectory, "Sent", kErrorDiskFull, 1);
  EXPECT_FALSE(CreateDirectory(Store("Sent")));
  EXPECT_EQ(GetLastError(), kErrorDiskFull);
  EXPECT_FALSE(Exists("Sent"));

  InjectFault(FaultOp::kCopy, "b.mai", kErrorDiskFull, 1);
  EXPECT_FALSE(CopyFile(Store("a.mai"), Store("b.mai"), false));
  EXPECT_FALSE(Exists("b.mai"));

  // Every fault above was used up: the same calls now succeed.
  EXPECT_TRUE(MoveFileEx(Store("a.tmp"), Store("a.mai"), true));
  EXPECT_TRUE(CreateDirectory(Store("Sent")));
  EXPECT_TRUE(CopyFile(Store("a.mai"), Store("b.mai"), false));
  EXPECT_TRUE(DeleteFile(Store("b.mai")));
}

TEST_F(FaultInjectionTest, StandingFaultsLastUntilClearedAndFireInOrder) {
  InjectFault(FaultOp::kOpen, "", kErrorAccessDenied, -1);
  InjectFault(FaultOp::kOpen, "", kErrorDiskFull, 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(File::Open(Store("x"), Access::kWrite, Disposition::kOpenAlways).valid());
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  }
  ClearFaults();
  EXPECT_TRUE(File::Open(Store("x"), Access::kWrite, Disposition::kOpenAlways).valid());

  InjectFault(FaultOp::kOpen, "", kErrorDiskFull, 0);
  EXPECT_TRUE(File::Open(Store("x"), Access::kWrite, Disposition::kOpenAlways).valid());
}

}  // namespace
}  // namespace qx::platform
