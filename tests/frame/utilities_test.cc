#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "frame/bounded_text.h"
#include "frame/file_helpers.h"
#include "frame/text_tokens.h"
#include "frame/xml_slices.h"
#include "platform/file.h"
#include "support/test_store.h"
#include "qxstore.h"

namespace qx {
namespace {

// Field n of text, with GetToken's result in *result.
std::string Token(const char* text, const char* separator, int n, size_t size, uint32_t* result) {
  char out[64];
  std::memset(out, 'z', sizeof out);
  *result = GetToken(text, separator, n, out, size);
  return out;
}

TEST(UtilitiesTest, SearchesTokensAndWords) {
  const char* text = "C:\\Program Files\\QX\\qxmta.exe";
  EXPECT_EQ(FindNoCase(text, "QXMTA.EXE"), text + 20);
  EXPECT_EQ(FindNoCase(text, "program", 9), nullptr);  // lengths bound the text
  EXPECT_STREQ(FindNoCase("aaab", "AAB"), "aab");

  const struct {
    const char* text;
    const char* separator;
    int n;
    size_t size;
    const char* field;
    uint32_t result;
  } tokens[] = {
      {"a\tb", "\t", 5, 64, "b", 1},  // past the last field: the last one
      {"one::two::three", "::", 2, 64, "two", 1},
      {"abcd,e", ",", 1, 4, "", 0},  // a field that does not fit
      {"abc,e", ",", 1, 4, "abc", 1},
  };
  for (const auto& t : tokens) {
    uint32_t result = 9;
    EXPECT_EQ(Token(t.text, t.separator, t.n, t.size, &result), t.field) << t.text << " " << t.n;
    EXPECT_EQ(result, t.result) << t.text << " " << t.n;
  }
  uint32_t result = 9;
  Token("whole", ",", 2, 64, &result);  // without a separator only field 1 exists
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(CountTokens(std::string(5000, ',').c_str(), ","), 1000u);

  char flags[64] = "\\Seen \\DELETED \\Flagged \\deleted";
  EXPECT_EQ(RemoveWord(flags, sizeof flags, "\\Deleted"), 1u);
  EXPECT_STREQ(flags, "\\Seen \\Flagged");
}

TEST(UtilitiesTest, ReplacementsAndCopiesNeverOverrunTheirBuffers) {
  // "a----b----c" is 11 bytes and its NUL 12: it fits in 12 but not in 11.
  char exact[12] = "a--b--c";
  EXPECT_EQ(ReplaceAll(exact, 11, "-", "--"), 0u);
  EXPECT_STREQ(exact, "a--b--c");
  EXPECT_EQ(ReplaceAll(exact, 12, "-", "--"), 1u);
  EXPECT_STREQ(exact, "a----b----c");
  char mixed[32] = "Xx xX";  // case matters; replacements are not searched again
  EXPECT_EQ(ReplaceAll(mixed, sizeof mixed, "x", "xx"), 1u);
  EXPECT_STREQ(mixed, "Xxx xxX");
  EXPECT_EQ(ReplaceAll(mixed, -1, "X", "b"), 0u);
  EXPECT_STREQ(mixed, "Xxx xxX");

  char out[1024];
  EXPECT_EQ(ReplaceAll4096(std::string(600, 'a').c_str(), out, "a", "bb"), 1u);
  EXPECT_EQ(std::string(out), std::string(1023, 'b'));  // cut to 1023 bytes
  std::string text = "aaa";  // resuming inside a replacement that holds the pattern would never end
  EXPECT_EQ(ReplaceAll(text, "a", "aa", 0, true), 3);
  EXPECT_EQ(text, "aaaaaa");

  char small[6];
  EXPECT_EQ(CopyBounded(small, "hello!", sizeof small), nullptr);
  EXPECT_STREQ(small, "hello");
}

TEST(UtilitiesTest, ExtractionXmlDataAndMessageFileNames) {
  const char* text = "Name:\r\n  Ann Lee;rest";
  const char* next = nullptr;
  char* value = ExtractBetween(text, "Name:", ";", true, &next);
  EXPECT_STREQ(value, "Ann Lee");
  EXPECT_STREQ(next, "rest");
  std::free(value);

  const char* xml = "<a><b>value</b><c>last</c></a>";
  char out[16];
  EXPECT_EQ(GetXMLDataEx(xml, "<b>", "</b>", out, 4), xml + 15);  // cut; still after the end tag
  EXPECT_STREQ(out, "val");
  std::strcpy(out, "untouched");
  EXPECT_EQ(GetXMLDataEx(xml, "<b>", "</x>", out, sizeof out), nullptr);
  EXPECT_STREQ(out, "untouched");

  char name[40];
  std::set<std::string> names;
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(NewMessageFileName(name, sizeof name), 1u);
    const std::string file = name;
    EXPECT_EQ(file.find_first_not_of("0123456789ABCDEF"), 32u) << file;
    names.insert(file);
  }
  EXPECT_EQ(names.size(), 50u);
}

class FileUtilitiesTest : public test::StoreTest {};

TEST_F(FileUtilitiesTest, FileHelpers) {
  const std::string dir = root() + "/files";
  WriteFile(dir + "/A.MAI", "12345");
  WriteFile(dir + "/sub/b.mai", "x");
  EXPECT_EQ(FileExists((dir + "\\*.mai").c_str()), 1u);
  ASSERT_EQ(TouchFile((dir + "/A.MAI").c_str()), 1u);
  EXPECT_EQ(GetFileDosStamp((dir + "/A.MAI").c_str()), platform::DosStampFromFileTime(clock().NowFileTime()));

  ASSERT_TRUE(platform::SetFileAttributes(dir + "/sub/b.mai", platform::kAttributeReadOnly));
  EXPECT_EQ(DeleteDirectoryTree(dir.c_str(), nullptr), 1u);
  EXPECT_FALSE(Exists(dir));
}

}  // namespace
}  // namespace qx
