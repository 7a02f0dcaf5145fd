#include <gtest/gtest.h>

#include "common/exception.h"

namespace qx {
namespace {

TEST(ExceptionTest, DescriptionJoinsMessageSourceAndLine) {
  EXPECT_EQ(Exception("m", "common/Array", 0).description(), "m (common/Array)");
  EXPECT_EQ(Exception("m", "common/Array", -4).description(), "m (common/Array)");
  EXPECT_EQ(Exception("Out of memory", "common/FileManagement", 17).description(),
            "Out of memory (common/FileManagement:17)");
  EXPECT_EQ(Exception("", "common/xMutexLock", 3).description(), "(common/xMutexLock:3)");
  EXPECT_EQ(Exception("m", "", 12).description(), "m ");
  EXPECT_EQ(Exception("", "", 0).description(), "");
  // ThrowException records the line it was called from.
  const int line = __LINE__ + 2;
  try {
    ThrowException("common/Array", "boom");
  } catch (const Exception& thrown) {
    EXPECT_EQ(thrown.description(), "boom (common/Array:" + std::to_string(line) + ")");
  }
}

}  // namespace
}  // namespace qx
