#include "platform/text_compare.h"

#include <gtest/gtest.h>

namespace qx::platform {
namespace {

// Only ASCII letters fold: the bytes of a UTF-8 name must match exactly, or
// two different folders ("é" and "É") would be taken for one.
TEST(TextCompareTest, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(EqualsNoCase("Inbox", "INBOX"));
  EXPECT_FALSE(EqualsNoCase("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));
  EXPECT_FALSE(EqualsNoCase("@[", "`{"));  // the neighbours of the letters do not fold
  EXPECT_EQ(UpperCased("a\xC3\xA9z_"), "A\xC3\xA9Z_");
  EXPECT_EQ(LowerCased("QXAISO.DLL"), "qxaiso.dll");
  EXPECT_FALSE(EqualsNoCase("Sent", "Sent "));
}

TEST(TextCompareTest, PrefixSuffixAndSearchBounds) {
  EXPECT_TRUE(StartsWithNoCase("x-uid: 7", "X-UID:"));
  EXPECT_FALSE(StartsWithNoCase("X-U", "X-UID:"));
  EXPECT_TRUE(StartsWithNoCase("anything", ""));
  EXPECT_TRUE(EndsWithNoCase("qxradms.exe", ".EXE"));
  EXPECT_FALSE(EndsWithNoCase("exe", ".EXE"));

  EXPECT_EQ(FindNoCaseIn("aaab", "AAB"), 1u);  // a partial match restarts one byte on
  EXPECT_EQ(FindNoCaseIn("\\Seen \\Deleted", "\\DELETED"), 6u);
  EXPECT_EQ(FindNoCaseIn("a-A-aB", "AB"), 4u);  // candidates of either case, in text order
  EXPECT_EQ(FindNoCaseIn("abc", ""), std::string_view::npos);
  EXPECT_EQ(FindNoCaseIn("ab", "abc"), std::string_view::npos);
  EXPECT_EQ(FindNoCaseIn(std::string_view("a\0B", 3), "b"), 2u);  // bounded by size, not NUL
}

}  // namespace
}  // namespace qx::platform
