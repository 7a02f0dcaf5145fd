#include "index/index_sort.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "index/store_index.h"
#include "support/test_store.h"

namespace qx {
namespace {

using IndexSortTest = test::StoreTest;

TEST_F(IndexSortTest, EntriesKeepTheirOrderAndTheSortWaitsForOtherThreadsButNotItsOwnHold) {
  StoreIndex* index = CreateStoreIndex();
  ASSERT_TRUE(CreateStoreIndexMutex(index));
  XmlDocument document = XmlDocument::New();
  ASSERT_TRUE(document.LoadXml("<BASEELEMENT><ELEMENT ID=\"c.MAI\"/><ELEMENT ID=\"a.MAI\"/>"
                               "<ELEMENT ID=\"b.MAI\"/></BASEELEMENT>"));
  HoldDocument(index, document);
  const std::string order = document.Xml();
  for (uint32_t type : {0u, 1u, 2u, 3u, 4u, 54u}) {
    index->folder_type = type;
    EXPECT_EQ(SortStoreIndex(index), 1u) << type;
    EXPECT_EQ(HeldDocument(index).Xml(), order) << type;
  }
  EXPECT_EQ(SortStoreIndex(nullptr), 0u);

  index->folder_type = 0;
  {
    StoreIndexLock held(index);
    EXPECT_EQ(SortStoreIndex(index), 1u);  // recursive: no deadlock
  }
  std::atomic<bool> locked{false}, release{false}, sorted{false};
  std::thread holder([&] {
    StoreIndexLock held(index);
    locked = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::thread sorter([&] {
    SortStoreIndex(index);
    sorted = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(sorted);
  release = true;
  holder.join();
  sorter.join();
  EXPECT_TRUE(sorted);
  ReleaseStoreIndex(index);
  DestroyStoreIndex(index);
}

}  // namespace
}  // namespace qx
