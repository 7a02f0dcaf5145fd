#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "frame/utilities.h"
#include "platform/diagnostics.h"
#include "platform/file.h"
#include "support/test_store.h"
#include "qxstore.h"

namespace qx {
namespace {

std::string Token(const char* text, const char* separator, int n, size_t size = 64,
                  uint32_t* result = nullptr) {
  char out[64];
  std::memset(out, 'z', sizeof out);
  uint32_t got = GetToken(text, separator, n, out, size);
  if (result != nullptr) *result = got;
  return out;
}

TEST(UtilitiesTest, FindNoCaseComparesUpperCasedCharacters) {
  const char* text = "C:\\Program Files\\QX\\qxmta.exe";
  EXPECT_EQ(FindNoCase(text, "QXMTA.EXE"), text + 20);
  EXPECT_EQ(FindNoCase(text, "program"), text + 3);
  EXPECT_EQ(FindNoCase(text, ""), nullptr);
  EXPECT_EQ(FindNoCase(text, nullptr), nullptr);
  EXPECT_EQ(FindNoCase("abc", "abcd"), nullptr);
  // Explicit lengths bound both the text and the pattern.
  EXPECT_EQ(FindNoCase(text, "program", 9), nullptr);
  EXPECT_EQ(FindNoCase(text, "proXXX", -1, 3), text + 3);
  EXPECT_STREQ(FindNoCase("aaab", "AAB"), "aab");
}

TEST(UtilitiesTest, GetTokenFieldRules) {
  uint32_t result = 9;
  EXPECT_EQ(Token("a\tb", "\t", 5, 64, &result), "b");
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(Token("one::two::three", "::", 2), "two");
  EXPECT_EQ(Token("one::two::three", "::", 3), "three");
  EXPECT_EQ(Token("one::two::three", "::", 1), "one");
  EXPECT_EQ(Token("a,,c", ",", 2, 64, &result), "");
  EXPECT_EQ(result, 1u);

  // No separator at all: only field 1 exists.
  EXPECT_EQ(Token("whole", ",", 1, 64, &result), "whole");
  EXPECT_EQ(result, 1u);
  Token("whole", ",", 2, 64, &result);
  EXPECT_EQ(result, 0u);

  // A field that does not fit gives an empty out and 0.
  EXPECT_EQ(Token("abcd,e", ",", 1, 4, &result), "");
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(Token("abc,e", ",", 1, 4, &result), "abc");
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(Token("abcd", ",", 1, 4, &result), "");
  EXPECT_EQ(result, 0u);
}

TEST(UtilitiesTest, CountTokensAndRemoveWord) {
  EXPECT_EQ(CountTokens("", ","), 0u);
  EXPECT_EQ(CountTokens("a", ","), 1u);
  EXPECT_EQ(CountTokens("a,b,,c", ","), 4u);
  EXPECT_EQ(CountTokens("a::b", "::"), 2u);
  std::string many(5000, ',');
  EXPECT_EQ(CountTokens(many.c_str(), ","), 1000u);

  char flags[64] = "\\Seen \\DELETED \\Flagged \\deleted";
  EXPECT_EQ(RemoveWord(flags, sizeof flags, "\\Deleted"), 1u);
  EXPECT_STREQ(flags, "\\Seen \\Flagged");
  EXPECT_EQ(RemoveWord(flags, sizeof flags, "\\Recent"), 0u);
  EXPECT_STREQ(flags, "\\Seen \\Flagged");
  EXPECT_EQ(RemoveWord(flags, sizeof flags, "\\seen"), 1u);
  EXPECT_STREQ(flags, "\\Flagged");
  EXPECT_EQ(RemoveWord(flags, sizeof flags, "\\FLAGGED"), 1u);
  EXPECT_STREQ(flags, "");
}

TEST(UtilitiesTest, BoundedReplaceAllChangesNothingWhenTheResultDoesNotFit) {
  char buffer[16] = "a-b-c";
  EXPECT_EQ(ReplaceAll(buffer, sizeof buffer, "-", "--"), 1u);
  EXPECT_STREQ(buffer, "a--b--c");
  // "a----b----c" is 11 bytes and its NUL 12: it fits in 12 but not in 11.
  char exact[12] = "a--b--c";
  EXPECT_EQ(ReplaceAll(exact, 11, "-", "--"), 0u);
  EXPECT_STREQ(exact, "a--b--c");
  EXPECT_EQ(ReplaceAll(exact, 12, "-", "--"), 1u);
  EXPECT_STREQ(exact, "a----b----c");
  // Case matters, and replacements are not searched again.
  char mixed[32] = "Xx xX";
  EXPECT_EQ(ReplaceAll(mixed, sizeof mixed, "x", "xx"), 1u);
  EXPECT_STREQ(mixed, "Xxx xxX");

  setenv("QXSTORE_DIAG", "stdout", 1);
  platform::ReloadDiagnosticsSettings();
  testing::internal::CaptureStdout();
  EXPECT_EQ(ReplaceAll(buffer, -1, "a", "b"), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Your an idiot\n");
  setenv("QXSTORE_DIAG", "off", 1);
  platform::ReloadDiagnosticsSettings();
  EXPECT_STREQ(buffer, "a--b--c");
}

TEST(UtilitiesTest, OtherReplaceAllForms) {
  char out[1024];
  std::memset(out, 'z', sizeof out);
  EXPECT_EQ(ReplaceAll4096("%NAME% and %NAME%", out, "%NAME%", "Ann"), 1u);
  EXPECT_STREQ(out, "Ann and Ann");
  EXPECT_EQ(ReplaceAll4096("nothing", out, "%NAME%", "Ann"), 0u);
  EXPECT_STREQ(out, "nothing");
  // The result is cut to 1023 bytes.
  std::string long_source(600, 'a');
  EXPECT_EQ(ReplaceAll4096(long_source.c_str(), out, "a", "bb"), 1u);
  EXPECT_EQ(std::string(out), std::string(1023, 'b'));

  std::string big(65536, '\0');
  std::strcpy(big.data(), "Subject: RE: re: Re: hello");
  EXPECT_EQ(ReplaceAllNoCase64K(big.data(), "RE: ", ""), 1u);
  EXPECT_STREQ(big.c_str(), "Subject: hello");
  EXPECT_EQ(ReplaceAllNoCase64K(big.data(), "absent", "x"), 0u);
  EXPECT_STREQ(big.c_str(), "Subject: hello");

  std::string text = "a  b   c";
  EXPECT_EQ(ReplaceAll(text, "  ", " ", 0, true), 3);
  EXPECT_EQ(text, "a b c");
  text = "a  b   c";
  EXPECT_EQ(ReplaceAll(text, "  ", " "), 2);
  EXPECT_EQ(text, "a b  c");
  text = "x.x.x.x";
  EXPECT_EQ(ReplaceAll(text, ".", "..", 2), 2);
  EXPECT_EQ(text, "x..x..x.x");
  // Resuming inside a replacement that holds the pattern would never end.
  text = "aaa";
  EXPECT_EQ(ReplaceAll(text, "a", "aa", 0, true), 3);
  EXPECT_EQ(text, "aaaaaa");
}

TEST(UtilitiesTest, BoundedCopyAndAppendReturnNullWhenCut) {
  char small[6];
  EXPECT_EQ(CopyBounded(small, "hello", sizeof small), small);
  EXPECT_STREQ(small, "hello");
  EXPECT_EQ(CopyBounded(small, "hello!", sizeof small), nullptr);
  EXPECT_STREQ(small, "hello");

  char joined[8] = "ab";
  EXPECT_EQ(AppendBounded(joined, "cd", sizeof joined), joined);
  EXPECT_STREQ(joined, "abcd");
  EXPECT_EQ(AppendBounded(joined, "efghij", sizeof joined), nullptr);
  EXPECT_STREQ(joined, "abcdefg");
  EXPECT_EQ(AppendBounded(joined, "", sizeof joined), joined);

  char formatted[8];
  EXPECT_TRUE(FormatBounded(formatted, sizeof formatted, "%s-%d", "ab", 42));
  EXPECT_STREQ(formatted, "ab-42");
  EXPECT_FALSE(FormatBounded(formatted, sizeof formatted, "%s-%d", "abcd", 4242));
}

TEST(UtilitiesTest, ExtractBetweenAndNewMessageFileName) {
  const char* text = "Name:\r\n  Ann Lee;rest";
  const char* next = nullptr;
  char* value = ExtractBetween(text, "Name:", ";", true, &next);
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, "Ann Lee");
  EXPECT_STREQ(next, "rest");
  std::free(value);
  value = ExtractBetween(text, "Name:", "#", false, &next);
  EXPECT_STREQ(value, "\r\n  Ann Lee;rest");
  EXPECT_EQ(next, nullptr);
  std::free(value);
  EXPECT_EQ(ExtractBetween(text, "Phone:", ";", true, &next), nullptr);

  char name[40];
  std::set<std::string> names;
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(NewMessageFileName(name, sizeof name), 1u);
    std::string text = name;
    EXPECT_EQ(text.size(), 36u) << text;
    EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), 32u) << text;
    EXPECT_EQ(text.substr(32), ".MAI");
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 50u);
  EXPECT_EQ(NewMessageFileName(name, 36), 0u);
}

TEST(UtilitiesTest, GetXMLDataExBranches) {
  const char* text = "<a><b>value</b><c>last</c></a>";
  char out[16];

  EXPECT_EQ(GetXMLDataEx(text, "<b>", "</b>", out, sizeof out), text + 15);
  EXPECT_STREQ(out, "value");
  // Cut to size - 1 bytes; the position is still after the end tag.
  EXPECT_EQ(GetXMLDataEx(text, "<b>", "</b>", out, 4), text + 15);
  EXPECT_STREQ(out, "val");

  std::strcpy(out, "untouched");
  EXPECT_EQ(GetXMLDataEx(text, "<d>", "</d>", out, sizeof out), nullptr);
  EXPECT_EQ(GetXMLDataEx(text, "<b>", "</x>", out, sizeof out), nullptr);
  EXPECT_STREQ(out, "untouched");

  // An empty start tag matches at the start of the text.
  EXPECT_EQ(GetXMLDataEx(text, "", "<b>", out, sizeof out), text + 6);
  EXPECT_STREQ(out, "<a>");

  // Without an end tag: the rest from the start tag on, and null.
  EXPECT_EQ(GetXMLDataEx(text, "<c>", nullptr, out, sizeof out), nullptr);
  EXPECT_STREQ(out, "<c>last</c></a>");
  EXPECT_EQ(GetXMLDataEx(text, "<b>", nullptr, out, 8), nullptr);
  EXPECT_STREQ(out, "<b>valu");

  // An end tag found inside the start tag gives an empty value.
  const char* nested = "<<tag>>x";
  EXPECT_EQ(GetXMLDataEx(nested, "<<tag>>", "<tag>", out, sizeof out), nested + 6);
  EXPECT_STREQ(out, "");
}

class FileUtilitiesTest : public test::StoreTest {};

TEST_F(FileUtilitiesTest, FileHelpers) {
  std::string dir = root() + "/files";
  WriteFile(dir + "/A.MAI", "12345");
  WriteFile(dir + "/sub/b.mai", "x");
  EXPECT_EQ(FileExists((dir + "\\*.mai").c_str()), 1u);
  EXPECT_EQ(FileExists((dir + "\\*.vcf").c_str()), 0u);
  EXPECT_EQ(GetFileLength((dir + "/A.MAI").c_str()), 5u);
  EXPECT_EQ(GetFileLength((dir + "/none").c_str()), 0u);

  ASSERT_EQ(TouchFile((dir + "/A.MAI").c_str()), 1u);
  platform::FileTimes times;
  ASSERT_TRUE(platform::GetFileTimes(dir + "/A.MAI", &times));
  EXPECT_EQ(times.last_write / 10000000, clock().NowFileTime() / 10000000);
  EXPECT_EQ(GetFileDosStamp((dir + "/A.MAI").c_str()),
            platform::DosStampFromFileTime(clock().NowFileTime()));
  EXPECT_EQ(GetFileDosStamp((dir + "/none").c_str()), 0u);

  ASSERT_TRUE(platform::SetFileAttributes(dir + "/sub/b.mai", platform::kAttributeReadOnly));
  EXPECT_EQ(DeleteDirectoryTree(dir.c_str(), nullptr), 1u);
  EXPECT_FALSE(Exists(dir));

  std::string too_long = root() + "/" + std::string(520, 'l');
  EXPECT_EQ(DeleteDirectoryTree(too_long.c_str(), nullptr), 0u);
}

}  // namespace
}  // namespace qx
