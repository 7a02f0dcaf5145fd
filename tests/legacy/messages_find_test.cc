// The plain directory listing of the older flat interface.

#include "legacy/messages_find.h"

#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

class MessagesFindTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    folder_ = root() + "/folder";
    MakeDirs(folder_ + "/Sub");
    WriteFile(folder_ + "/b.mai", std::string(70000, 'b'));
    WriteFile(folder_ + "/A.MAI", "aaa");
    WriteFile(folder_ + "/notes.txt", "n");
  }

  std::vector<std::string> FindAll(const std::string& pattern) {
    std::vector<std::string> names;
    MESSAGESEARCHRECORD search{};
    std::strncpy(search.pattern, pattern.c_str(), sizeof search.pattern - 1);
    for (uint32_t more = MessagesFindFirst(&search); more == 1; more = MessagesFindNext(&search)) {
      names.push_back(search.name);
    }
    return names;
  }

  std::string folder_;
};

using Names = std::vector<std::string>;

TEST_F(MessagesFindTest, PatternOrWholeDirectory) {
  EXPECT_EQ(FindAll(folder_ + "\\*.MAI"), (Names{"A.MAI", "b.mai"}));
  EXPECT_EQ(FindAll(folder_), (Names{".", "..", "A.MAI", "b.mai", "notes.txt", "Sub"}));
  EXPECT_EQ(FindAll(folder_ + "/*.none"), (Names{}));
  EXPECT_EQ(FindAll(root() + "/missing"), (Names{}));
}

TEST_F(MessagesFindTest, EntriesCarrySizeAndCreationTime) {
  MESSAGESEARCHRECORD search;
  std::memset(&search, 0x55, sizeof search);
  std::strcpy(search.pattern, (folder_ + "/*.mai").c_str());
  const uint32_t before = static_cast<uint32_t>(std::time(nullptr));
  ASSERT_EQ(MessagesFindFirst(&search), 1u);
  EXPECT_STREQ(search.name, "A.MAI");
  EXPECT_EQ(search.size, 3u);
  // Created moments ago by SetUp, on the real clock of the file system.
  EXPECT_LE(search.created, before + 1);
  EXPECT_GE(search.created + 60, before);
  ASSERT_EQ(MessagesFindNext(&search), 1u);
  EXPECT_STREQ(search.name, "b.mai");
  EXPECT_EQ(search.size, 70000u);
  EXPECT_EQ(MessagesFindNext(&search), 0u);
  EXPECT_STREQ(search.name, "b.mai") << "the end leaves the record as it was";
  EXPECT_EQ(MessagesFindNext(&search), 0u) << "the listing was closed";
}

TEST_F(MessagesFindTest, FindFirstReplacesTheOpenListing) {
  MESSAGESEARCHRECORD search{};
  std::strcpy(search.pattern, (folder_ + "/*.txt").c_str());
  ASSERT_EQ(MessagesFindFirst(&search), 1u);
  std::strcpy(search.pattern, (folder_ + "/*.mai").c_str());
  ASSERT_EQ(MessagesFindFirst(&search), 1u);
  ASSERT_EQ(MessagesFindNext(&search), 1u);
  EXPECT_STREQ(search.name, "b.mai");

  // A directory that leaves no room for "\*.*" lists nothing.
  std::memset(search.pattern, 'p', sizeof search.pattern);
  search.pattern[sizeof search.pattern - 1] = '\0';
  EXPECT_EQ(MessagesFindFirst(&search), 0u);
  EXPECT_EQ(MessagesFindNext(&search), 0u) << "the old listing was dropped";
  EXPECT_EQ(MessagesFindFirst(nullptr), 0u);
}

}  // namespace
}  // namespace qx
