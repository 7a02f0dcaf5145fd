#include "platform/fault_injection.h"

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/file.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

class FaultInjectionTest : public test::ScratchDirTest {};

// Other tests rely on failed calls touching nothing; here the arming rules.
TEST_F(FaultInjectionTest, FaultsMatchPathsFireInOrderAndAreUsedUp) {
  Put("a.tmp", "new");
  Put("a.mai", "old");
  InjectFault(FaultOp::kMove, "a.mai", kErrorAccessDenied, 2);
  EXPECT_TRUE(MoveFileEx(Store("a.tmp"), Store("b.tmp"), true));
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(MoveFileEx(Store("b.tmp"), Store("a.mai"), true));
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  }
  EXPECT_EQ(Get("b.tmp"), "new");
  EXPECT_EQ(Get("a.mai"), "old");
  EXPECT_TRUE(MoveFileEx(Store("b.tmp"), Store("a.mai"), true));

  // A standing fault fires until cleared, before later ones; 0 arms nothing.
  InjectFault(FaultOp::kOpen, "", kErrorAccessDenied, -1);
  InjectFault(FaultOp::kOpen, "", kErrorDiskFull, 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(File::Open(Store("x"), Access::kWrite, Disposition::kOpenAlways).valid());
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  }
  EXPECT_FALSE(Exists("x"));
  ClearFaults();
  InjectFault(FaultOp::kOpen, "", kErrorDiskFull, 0);
  File file = File::Open(Store("x"), Access::kWrite, Disposition::kOpenAlways);
  ASSERT_TRUE(file.valid());
  InjectFault(FaultOp::kWrite, "x", kErrorDiskFull, 1);
  EXPECT_FALSE(file.Write("250"));
  EXPECT_EQ(GetLastError(), kErrorDiskFull);
  EXPECT_TRUE(file.Write("250"));
}

}  // namespace
}  // namespace qx::platform
