// The exported search calls: parameters, the walk through the matches, the
// per-thread state and what bad arguments do.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

struct Property {
  uint32_t result = 0;
  const char* value = nullptr;
  uint32_t length = 0;
  std::string text() const { return value != nullptr ? std::string(value, length) : "<none>"; }
};

Property Get(const char* name) {
  Property property;
  char* value = nullptr;
  property.result = StoreItem_GetMatchProp(name, &value, &property.length);
  property.value = value;
  return property;
}

std::string Filename() { return Get("Filename").text(); }
std::string FilenameList() { return Get("FilenameList").text(); }

class SearchCallsTest : public test::StoreTest {
 protected:
  void TearDown() override {
    MsgSearch_UnInit();
    test::StoreTest::TearDown();
  }
  std::string Tree() const { return root() + "/tree"; }
  void MakeTree() {
    WriteFile(Tree() + "/a.txt", "my invoice");
    WriteFile(Tree() + "/big.txt", "big invoice");
    WriteFile(Tree() + "/sub/b.txt", "INVOICE");
  }
  static void Search(const std::string& directory, const char* pattern, uint32_t subfolders) {
    ASSERT_EQ(MsgSearch_SetParameter_String("Directory", directory.c_str()), 1u);
    ASSERT_EQ(MsgSearch_SetParameter_String("SearchString", pattern), 1u);
    ASSERT_EQ(MsgSearch_SetParameter_Int("SearchSubFolders", subfolders), 1u);
  }
};

TEST_F(SearchCallsTest, WalksTheListOfTheLastSearch) {
  MakeTree();
  EXPECT_EQ(MsgSearch_Init(), 1u);
  Search(Tree(), "*invoice*", 1);

  ASSERT_EQ(StoreItem_FirstMatch(), 1u);
  EXPECT_EQ(Filename(), "a.txt");
  EXPECT_EQ(Get("Filename").length, 5u);
  ASSERT_EQ(StoreItem_NextMatch(), 1u);
  EXPECT_EQ(Filename(), "sub\\b.txt");
  EXPECT_EQ(StoreItem_NextMatch(), 0u);
  EXPECT_EQ(Filename(), "<none>");
  EXPECT_EQ(Get("Filename").length, 0u);
  EXPECT_EQ(Get("Filename").result, 1u);
  EXPECT_EQ(StoreItem_NextMatch(), 0u);
  EXPECT_EQ(FilenameList(), "a.txt,sub\\b.txt");
  EXPECT_EQ(Get("FilenameList").length, 15u);

  // Only exactly 1 compares with case.
  ASSERT_EQ(MsgSearch_SetParameter_Int("CaseSensitive", 1), 1u);
  ASSERT_EQ(MsgSearch_FindAll(), 1u);
  EXPECT_EQ(FilenameList(), "a.txt");
  ASSERT_EQ(MsgSearch_SetParameter_Int("CaseSensitive", 2), 1u);
  ASSERT_EQ(MsgSearch_FindAll(), 1u);
  EXPECT_EQ(FilenameList(), "a.txt,sub\\b.txt");

  // Each search reads the tree again; after FindAll the walk starts over.
  WriteFile(Tree() + "/c.txt", "invoice");
  ASSERT_EQ(MsgSearch_SetParameter_Int("SearchSubFolders", 0), 1u);
  ASSERT_EQ(StoreItem_FirstMatch(), 1u);
  ASSERT_EQ(StoreItem_NextMatch(), 1u);
  EXPECT_EQ(Filename(), "c.txt");
  ASSERT_EQ(MsgSearch_FindAll(), 1u);
  EXPECT_EQ(Filename(), "<none>");
  ASSERT_EQ(StoreItem_NextMatch(), 1u);
  EXPECT_EQ(Filename(), "a.txt");

  // Nothing found: an empty list, not a missing one.
  ASSERT_EQ(MsgSearch_SetParameter_String("SearchString", "*receipt*"), 1u);
  EXPECT_EQ(StoreItem_FirstMatch(), 0u);
  EXPECT_EQ(FilenameList(), "");
  EXPECT_EQ(Get("FilenameList").length, 0u);
  EXPECT_EQ(Filename(), "<none>");
  ASSERT_EQ(MsgSearch_SetParameter_String("Directory", (root() + "/missing").c_str()), 1u);
  ASSERT_EQ(MsgSearch_SetParameter_String("SearchString", "*"), 1u);
  EXPECT_EQ(MsgSearch_FindAll(), 1u);
  EXPECT_EQ(StoreItem_FirstMatch(), 0u);
}

TEST_F(SearchCallsTest, UnknownNamesAndMissingArgumentsChangeNothing) {
  MakeTree();
  Search(Tree(), "*invoice*", 0);
  EXPECT_EQ(MsgSearch_SetParameter_String("searchstring", "*big*"), 0u);
  EXPECT_EQ(MsgSearch_SetParameter_String("Pattern", "*big*"), 0u);
  EXPECT_EQ(MsgSearch_SetParameter_String(nullptr, "*big*"), 0u);
  EXPECT_EQ(MsgSearch_SetParameter_String("SearchString", nullptr), 0u);
  EXPECT_EQ(MsgSearch_SetParameter_String("SearchSubFolders", "1"), 0u);
  EXPECT_EQ(MsgSearch_SetParameter_Int("Directory", 0), 0u);
  EXPECT_EQ(MsgSearch_SetParameter_Int("Recursive", 1), 0u);
  EXPECT_EQ(MsgSearch_SetParameter_Int(nullptr, 1), 0u);
  ASSERT_EQ(StoreItem_FirstMatch(), 1u);
  EXPECT_EQ(FilenameList(), "a.txt");

  char sentinel[] = "untouched";
  char* value = sentinel;
  uint32_t length = 77;
  EXPECT_EQ(StoreItem_GetMatchProp("filename", &value, &length), 0u);
  EXPECT_EQ(StoreItem_GetMatchProp(nullptr, &value, &length), 0u);
  EXPECT_EQ(value, sentinel);
  EXPECT_EQ(length, 77u);
  EXPECT_EQ(StoreItem_GetMatchProp("Filename", nullptr, nullptr), 1u);

  // A start directory is held to 259 characters; one that long leaves no
  // room for the listing's "\*", so nothing is found.
  std::string long_directory = Tree() + std::string(400 - Tree().size(), '/');
  EXPECT_EQ(MsgSearch_SetParameter_String("Directory", long_directory.c_str()), 1u);
  EXPECT_EQ(StoreItem_FirstMatch(), 0u);
}

TEST_F(SearchCallsTest, EachThreadHasItsOwnSearchUntilUnInit) {
  MakeTree();
  for (int i = 0; i < 3; ++i) {
    WriteFile(root() + "/other/f" + std::to_string(i), "receipt");
  }
  Search(Tree(), "*invoice*", 1);
  ASSERT_EQ(MsgSearch_FindAll(), 1u);

  std::atomic<int> wrong{0};
  auto run = [&](std::string directory, const char* pattern, std::string expected) {
    // A new thread starts with no list, whatever other threads hold.
    if (Get("FilenameList").value != nullptr) ++wrong;
    MsgSearch_SetParameter_String("Directory", directory.c_str());
    MsgSearch_SetParameter_String("SearchString", pattern);
    for (int i = 0; i < 40; ++i) {
      if (StoreItem_FirstMatch() != 1 || FilenameList() != expected) ++wrong;
      std::string walked = Filename();
      while (StoreItem_NextMatch() == 1) walked += "," + Filename();
      if (walked != expected) ++wrong;
    }
  };
  std::vector<std::thread> threads;
  threads.emplace_back(run, root() + "/other", "*receipt*", "f0,f1,f2");
  threads.emplace_back(run, Tree(), "*invoice*", "a.txt");
  threads.emplace_back(run, Tree(), "*big*", "big.txt");
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);

  EXPECT_EQ(FilenameList(), "a.txt,sub\\b.txt");
  EXPECT_EQ(MsgSearch_UnInit(), 1u);
  EXPECT_EQ(Get("FilenameList").value, nullptr);
  // The parameters went with the state: subfolders are off again.
  ASSERT_EQ(MsgSearch_SetParameter_String("Directory", Tree().c_str()), 1u);
  ASSERT_EQ(MsgSearch_SetParameter_String("SearchString", "*invoice*"), 1u);
  ASSERT_EQ(StoreItem_FirstMatch(), 1u);
  EXPECT_EQ(FilenameList(), "a.txt");
  EXPECT_EQ(MsgSearch_UnInit(), 1u);
  EXPECT_EQ(MsgSearch_UnInit(), 1u);
}

}  // namespace
}  // namespace qx
