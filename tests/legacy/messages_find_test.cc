// The plain directory listing of the older flat interface.

#include "legacy/messages_find.h"

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "qxstore.h"
#include "qxstore_record_text.h"
#include "support/test_store.h"

namespace qx {
namespace {

using Names = std::vector<std::string>;

class MessagesFindTest : public test::StoreTest {
 protected:
  Names FindAll(const std::string& pattern) {
    Names names;
    MESSAGESEARCHRECORD search{};
    SetRecordText(search.pattern, pattern);
    for (uint32_t more = MessagesFindFirst(&search); more == 1; more = MessagesFindNext(&search)) {
      names.push_back(search.name);
    }
    return names;
  }
};

TEST_F(MessagesFindTest, ListsPatternOrDirectoryWithSizeAndCreationTime) {
  const std::string folder = root() + "/folder";
  MakeDirs(folder + "/Sub");
  WriteFile(folder + "/b.mai", std::string(70000, 'b'));
  WriteFile(folder + "/A.MAI", "aaa");
  WriteFile(folder + "/notes.txt", "n");
  EXPECT_EQ(FindAll(folder + "\\*.MAI"), (Names{"A.MAI", "b.mai"}));
  EXPECT_EQ(FindAll(folder), (Names{".", "..", "A.MAI", "b.mai", "notes.txt", "Sub"}));

  MESSAGESEARCHRECORD search{};
  std::strcpy(search.pattern, (folder + "/*.mai").c_str());
  const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
  ASSERT_EQ(MessagesFindFirst(&search), 1u);
  EXPECT_EQ(search.size, 3u);
  EXPECT_LE(search.created, now + 1);  // on the real clock of the file system
  EXPECT_GE(search.created + 60, now);
  ASSERT_EQ(MessagesFindNext(&search), 1u);
  EXPECT_EQ(search.size, 70000u);

  // A directory that leaves no room for "\*.*" lists nothing and drops the old listing.
  ASSERT_EQ(MessagesFindFirst(&search), 1u);
  std::memset(search.pattern, 'p', sizeof search.pattern - 1);
  search.pattern[sizeof search.pattern - 1] = '\0';
  EXPECT_EQ(MessagesFindFirst(&search), 0u);
  EXPECT_EQ(MessagesFindNext(&search), 0u);
}

}  // namespace
}  // namespace qx
