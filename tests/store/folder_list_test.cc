// The thread's own folder lists: what ends them, and whose they are.

#include "store/folder_list.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "qxstore.h"
#include "support/folder_test_fixture.h"

namespace qx {
namespace {

class FolderListTest : public test::FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    for (const char* name : {"b", "C", "a", "B", "a/x", "a/y"}) {
      MakeDirs(MailboxDir() + "/Inbox/" + name);
    }
  }
};

TEST_F(FolderListTest, ThreadListsLiveUntilCloseOrReleaseAndBelongToTheirThread) {
  STOREFOLDER inbox = Record("Inbox", "");
  STOREFOLDER a = Record("Inbox\\a", "");
  ASSERT_EQ(StoreFolderFindFirst(&inbox), 1u);
  ASSERT_EQ(StoreFolderFindFirst(&a), 1u);
  EXPECT_EQ(ThreadFolderListCount(), 2u);
  EXPECT_EQ(StoreFolderFindClose(&a), 1u);
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
