#include <gtest/gtest.h>

#include "common/array.h"
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

  Exception copy = Exception("text", "unit", 9);
  EXPECT_EQ(copy.message(), "text");
  EXPECT_EQ(copy.source_file(), "unit");
  EXPECT_EQ(copy.line(), 9);
}

TEST(ExceptionTest, ThrownByTheUtilitiesWithTheThrowingLine) {
  int line_before = __LINE__;
  try {
    ThrowException("common/Array", "boom");
  } catch (const Exception& thrown) {
    EXPECT_EQ(thrown.line(), line_before + 2);
    EXPECT_EQ(thrown.source_file(), "common/Array");
    EXPECT_EQ(thrown.description(),
              "boom (common/Array:" + std::to_string(line_before + 2) + ")");
    return;
  }
  FAIL() << "nothing thrown";
}

}  // namespace
}  // namespace qx
