// The exported search calls and storeadm search: parameters, the walk
// through the matches, the per-thread state and what bad arguments do.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "qxstore.h"
#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

// A property's text, or "<none>" when it has no value.
std::string Get(const char* name) {
  char* value = nullptr;
  uint32_t length = 0;
  StoreItem_GetMatchProp(name, &value, &length);
  return value != nullptr ? std::string(value, length) : "<none>";
}

class SearchCallsTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    WriteFile(Tree() + "/a.txt", "my invoice");
    WriteFile(Tree() + "/big.txt", "big invoice");
    WriteFile(Tree() + "/sub/b.txt", "INVOICE");
  }
  void TearDown() override {
    MsgSearch_UnInit();
    test::StoreTest::TearDown();
  }
  std::string Tree() const { return root() + "/tree"; }
  static void Search(const std::string& directory, const char* pattern) {
    ASSERT_EQ(MsgSearch_SetParameter_String("Directory", directory.c_str()), 1u);
    ASSERT_EQ(MsgSearch_SetParameter_String("SearchString", pattern), 1u);
  }
};

TEST_F(SearchCallsTest, WalksTheListOfTheLastSearch) {
  EXPECT_EQ(MsgSearch_Init(), 1u);
  Search(Tree(), "*invoice*");
  ASSERT_EQ(MsgSearch_SetParameter_Int("SearchSubFolders", 1), 1u);
  ASSERT_EQ(StoreItem_FirstMatch(), 1u);
  EXPECT_EQ(Get("Filename"), "a.txt");
  ASSERT_EQ(StoreItem_NextMatch(), 1u);
  EXPECT_EQ(Get("Filename"), "sub\\b.txt");
  EXPECT_EQ(StoreItem_NextMatch(), 0u);
  EXPECT_EQ(Get("FilenameList"), "a.txt,sub\\b.txt");
  // Only exactly 1 compares with case.
  ASSERT_EQ(MsgSearch_SetParameter_Int("CaseSensitive", 1), 1u);
  ASSERT_EQ(MsgSearch_FindAll(), 1u);
  EXPECT_EQ(Get("FilenameList"), "a.txt");
  ASSERT_EQ(MsgSearch_SetParameter_Int("CaseSensitive", 2), 1u);
  // Each search reads the tree again; after FindAll the walk starts over.
  WriteFile(Tree() + "/c.txt", "invoice");
  ASSERT_EQ(MsgSearch_FindAll(), 1u);
  EXPECT_EQ(Get("Filename"), "<none>");
  ASSERT_EQ(StoreItem_NextMatch(), 1u);
  EXPECT_EQ(Get("Filename"), "a.txt");
  EXPECT_EQ(Get("FilenameList"), "a.txt,c.txt,sub\\b.txt");
  // Nothing found: an empty list, not a missing one.
  ASSERT_EQ(MsgSearch_SetParameter_String("SearchString", "*receipt*"), 1u);
  EXPECT_EQ(StoreItem_FirstMatch(), 0u);
  EXPECT_EQ(Get("FilenameList"), "");

  // Unknown names and missing arguments change nothing.
  for (const char* name : {"searchstring", "SearchSubFolders", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(MsgSearch_SetParameter_String(name, "*big*"), 0u);
  }
  EXPECT_EQ(MsgSearch_SetParameter_String("SearchString", nullptr), 0u);
  EXPECT_EQ(MsgSearch_SetParameter_Int("Directory", 0), 0u);
  EXPECT_EQ(StoreItem_FirstMatch(), 0u) << "still the search for *receipt*";
  EXPECT_EQ(Get("filename"), "<none>");
  char* value = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(StoreItem_GetMatchProp(nullptr, &value, &length), 0u);
  EXPECT_EQ(StoreItem_GetMatchProp("Filename", nullptr, nullptr), 1u);
  // A start directory is held to 259 characters, leaving no room for "\*".
  EXPECT_EQ(MsgSearch_SetParameter_String("Directory", (Tree() + std::string(400, '/')).c_str()), 1u);
  ASSERT_EQ(MsgSearch_SetParameter_String("SearchString", "*"), 1u);
  EXPECT_EQ(StoreItem_FirstMatch(), 0u);
}

TEST_F(SearchCallsTest, EachThreadHasItsOwnSearchUntilUnInit) {
  for (int i = 0; i < 3; ++i) WriteFile(root() + "/other/f" + std::to_string(i), "receipt");
  Search(Tree(), "*invoice*");
  ASSERT_EQ(MsgSearch_SetParameter_Int("SearchSubFolders", 1), 1u);
  ASSERT_EQ(MsgSearch_FindAll(), 1u);
  std::atomic<int> wrong{0};
  auto run = [&](std::string directory, const char* pattern, std::string expected) {
    // A new thread starts with no list, whatever other threads hold.
    if (Get("FilenameList") != "<none>") ++wrong;
    Search(directory, pattern);
    for (int i = 0; i < 40; ++i) {
      if (StoreItem_FirstMatch() != 1 || Get("FilenameList") != expected) ++wrong;
      std::string walked = Get("Filename");
      while (StoreItem_NextMatch() == 1) walked += "," + Get("Filename");
      if (walked != expected) ++wrong;
    }
  };
  std::vector<std::thread> threads;
  threads.emplace_back(run, root() + "/other", "*receipt*", "f0,f1,f2");
  threads.emplace_back(run, Tree(), "*invoice*", "a.txt");
  threads.emplace_back(run, Tree(), "*big*", "big.txt");
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(Get("FilenameList"), "a.txt,sub\\b.txt");
  EXPECT_EQ(MsgSearch_UnInit(), 1u);
  EXPECT_EQ(Get("FilenameList"), "<none>");
  // The parameters went with the state: subfolders are off again.
  Search(Tree(), "*invoice*");
  ASSERT_EQ(StoreItem_FirstMatch(), 1u);
  EXPECT_EQ(Get("FilenameList"), "a.txt");
}

TEST_F(SearchCallsTest, StoreadmSearchPrintsOneMatchALineAndExitsLikeGrep) {
  auto storeadm = [](const std::string& arguments) {
    return test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm search " + arguments + " 2>&1");
  };
  test::ProgramRun run = storeadm(Tree() + " '*invoice*' --recursive");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, "a.txt\nsub/b.txt\n");
  EXPECT_EQ(storeadm("--case " + Tree() + " '*INVOICE*' --recursive").output, "sub/b.txt\n");
  run = storeadm(Tree() + " invoice");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("to find a word use \"*invoice*\""), std::string::npos) << run.output;
  EXPECT_EQ(storeadm(Tree() + " '*' --deep").exit_code, 2);
}

}  // namespace
}  // namespace qx
