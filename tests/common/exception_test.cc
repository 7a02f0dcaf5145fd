#include <gtest/gtest.h>

#include "common/exception.h"

namespace qx {
namespace {

TEST(ExceptionTest, DescriptionJoinsMessageSourceAndLine) {
  EXPECT_EQ(Exception("m", "common/Array", -4).description(), "m (common/Array)");
  EXPECT_EQ(Exception("", "common/xMutexLock", 3).description(), "(common/xMutexLock:3)");
  EXPECT_EQ(Exception("m", "", 12).description(), "m ");
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
