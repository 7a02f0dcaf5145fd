// Folder lists: caller-made lists, the thread's own lists and what ends
// them, and the order and position of an enumeration.

#include "store/folder_list.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "qxstore.h"
#include "store/folder_test_fixture.h"

namespace qx {
namespace {

using Names = std::vector<std::string>;

class FolderListTest : public test::FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    for (const char* name : {"b", "C", "a", "B", "a/x", "a/y"}) {
      MakeDirs(MailboxDir() + "/Inbox/" + name);
    }
  }
};

TEST_F(FolderListTest, ACallersListKeepsOnePositionPerDirectoryInByteOrder) {
  TLSFOLDERLIST* list = nullptr;
  ASSERT_EQ(CreateTLSFolderList(&list), 1u);
  STOREFOLDER inbox = Record("Inbox", "");
  STOREFOLDER a = Record("Inbox/a", "");
  ASSERT_EQ(TLS_StoreFolderFindFirst(&inbox, list), 1u);
  EXPECT_STREQ(inbox.name, "B");
  ASSERT_EQ(TLS_StoreFolderFindFirst(&a, list), 1u);  // another directory in between
  EXPECT_STREQ(a.name, "x");
  ASSERT_EQ(TLS_StoreFolderFindNext(&inbox, list), 1u);
  EXPECT_STREQ(inbox.name, "C");
  ASSERT_EQ(TLS_StoreFolderFindNext(&a, list), 1u);
  EXPECT_STREQ(a.name, "y");
  EXPECT_EQ(TLS_StoreFolderFindNext(&a, list), 0u);
  EXPECT_STREQ(a.name, "y");
  EXPECT_EQ(reinterpret_cast<FolderList*>(list)->cached_directories(), 2u);
  // Closing with a list empties it: nothing to continue from.
  EXPECT_EQ(TLS_StoreFolderFindClose(&inbox, list), 1u);
  EXPECT_EQ(TLS_StoreFolderFindNext(&inbox, list), 0u);
  EXPECT_EQ(ThreadFolderListCount(), 0u);

  // The cached list follows the file it was read from.
  EXPECT_EQ(Children("Inbox", list), (Names{"B", "C", "a", "b"}));
  const std::string index = MailboxDir() + "/Inbox/_folder.xml";
  WriteFile(index, test::FolderIndexOf({"q"}));
  SetWriteTime(index, 1400000000);
  EXPECT_EQ(Children("Inbox", list), Names{"q"});
  EXPECT_EQ(FreeTLSFolderList(&list), 1u);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(FreeTLSFolderList(&list), 1u);

  STOREFOLDER leaf = Record("Inbox/a/x", "unchanged");
  EXPECT_EQ(StoreFolderFindNext(&leaf), 0u);  // before any First
  EXPECT_STREQ(leaf.name, "unchanged");
  EXPECT_EQ(StoreFolderFindFirst(&leaf), 0u);
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/a/x/_folder.xml"), "<folderindex></folderindex>");
  STOREFOLDER missing = Record("Nowhere", "");
  EXPECT_EQ(StoreFolderFindFirst(&missing), 0u);
  EXPECT_FALSE(Exists(MailboxDir() + "/Nowhere"));
}

TEST_F(FolderListTest, ThreadListsLiveUntilCloseOrReleaseAndBelongToTheirThread) {
  STOREFOLDER inbox = Record("Inbox", "");
  STOREFOLDER a = Record("Inbox\\a", "");
  ASSERT_EQ(StoreFolderFindFirst(&inbox), 1u);
  ASSERT_EQ(StoreFolderFindFirst(&a), 1u);
  EXPECT_EQ(ThreadFolderListCount(), 2u);
  EXPECT_EQ(StoreFolderFindClose(&a), 1u);
  EXPECT_EQ(ThreadFolderListCount(), 1u);
  EXPECT_EQ(StoreFolderFindNext(&a), 0u);
  ASSERT_EQ(StoreFolderFindNext(&inbox), 1u);
  EXPECT_STREQ(inbox.name, "C");

  EXPECT_EQ(StoreLibrary_ThreadRelease(), 1u);
  EXPECT_EQ(ThreadFolderListCount(), 0u);
  EXPECT_EQ(StoreFolderFindNext(&inbox), 0u);

  ASSERT_EQ(StoreFolderFindFirst(&inbox), 1u);
  size_t other_thread_count = 99;
  std::thread other([&] {
    other_thread_count = ThreadFolderListCount();
    STOREFOLDER mine = Record("Inbox", "");
    EXPECT_EQ(StoreFolderFindNext(&mine), 0u);
  });
  other.join();
  EXPECT_EQ(other_thread_count, 0u);
  ASSERT_EQ(StoreFolderFindNext(&inbox), 1u);
  EXPECT_STREQ(inbox.name, "C");
}

}  // namespace
}  // namespace qx
