#include "index/index_sort.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "index/store_index.h"
#include "support/test_store.h"

namespace qx {
namespace {

class IndexSortTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    index_ = CreateStoreIndex();
    ASSERT_TRUE(CreateStoreIndexMutex(index_));
    XmlDocument document = XmlDocument::New();
    ASSERT_TRUE(document.LoadXml("<BASEELEMENT><ELEMENT ID=\"c.MAI\"/><ELEMENT ID=\"a.MAI\"/>"
                                 "<ELEMENT ID=\"b.MAI\"/></BASEELEMENT>"));
    HoldDocument(index_, document);
    order_ = document.Xml();
  }
  void TearDown() override {
    ReleaseStoreIndex(index_);
    DestroyStoreIndex(index_);
    test::StoreTest::TearDown();
  }

  StoreIndex* index_ = nullptr;
  std::string order_;
};

TEST_F(IndexSortTest, EntriesStayWhereTheyWereMadeForEveryFolderType) {
  for (uint32_t type : {0u, 1u, 2u, 3u, 4u, 54u}) {
    index_->folder_type = type;
    EXPECT_EQ(SortStoreIndex(index_), 1u) << type;
    EXPECT_EQ(HeldDocument(index_).Xml(), order_) << type;
  }
  EXPECT_EQ(SortStoreIndex(nullptr), 0u);
  EXPECT_EQ(SortDOM(nullptr), 0u);
  EXPECT_EQ(DuplicateDOM(nullptr), 0u);
}

TEST_F(IndexSortTest, MailSortWaitsForAnotherThreadButNotForItsOwnHold) {
  {
    StoreIndexLock held(index_);
    EXPECT_EQ(SortStoreIndex(index_), 1u);  // recursive: no deadlock
  }
  std::atomic<bool> locked{false};
  std::atomic<bool> release{false};
  std::thread holder([&] {
    StoreIndexLock held(index_);
    locked = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::atomic<bool> sorted{false};
  std::thread sorter([&] {
    SortStoreIndex(index_);
    sorted = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(sorted);
  release = true;
  holder.join();
  sorter.join();
  EXPECT_TRUE(sorted);

  // Group indexes do not take the mutex.
  index_->folder_type = kFolderTypeGroups;
  locked = false;
  release = false;
  std::thread group_holder([&] {
    StoreIndexLock held(index_);
    locked = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(SortStoreIndex(index_), 1u);
  release = true;
  group_holder.join();
}

}  // namespace
}  // namespace qx
