#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "index/index_registry.h"
#include "library/lifecycle.h"
#include "frame/thread_record.h"
#include "frame/thread_state.h"
#include "support/test_store.h"
#include "support/worker_thread.h"
#include "qxstore.h"

namespace qx {
namespace {

using test::Worker;

struct Opened {
  uint32_t result = 0;
  StoreIndex* index = nullptr;
  std::string key;
};

// What StoreFolder_Open does with the registry, on the calling thread.
Opened OpenFolder(const char* postoffice, const char* mailbox, const char* folder) {
  STOREINDEXTYPE* record = TLSStoreIndex_Get();
  EXPECT_NE(record, nullptr);
  std::strcpy(record->postoffice, postoffice);
  std::strcpy(record->mailbox, mailbox);
  std::strcpy(record->folder, folder);
  EXPECT_TRUE(SetFolderIndexKey(record));
  Opened opened;
  opened.result = AttachToIndex(record);
  opened.index = record->index;
  opened.key = record->index_key;
  return opened;
}

void CloseFolder(uint32_t clear) { TLSStoreIndex_Close(TLSStoreIndex_Get(), clear); }

uint32_t UseCount(const std::string& key) {
  StoreIndex* index = FindOpenIndex(key);
  return index == nullptr ? 0 : index->use_count;
}

class IndexRegistryTest : public test::StoreTest {};

TEST_F(IndexRegistryTest, AffinityOffSharesOneObjectUntilTheLastClose) {
  StoreLibrary_SetAffinity(0);
  Worker first, second;
  Opened a = first.Run([] { return OpenFolder("po", "ann", "Inbox"); });
  Opened b = second.Run([] { return OpenFolder("po", "ann", "Inbox"); });
  EXPECT_EQ(a.result, 1u);
  EXPECT_EQ(b.result, 2u);
  EXPECT_EQ(a.key, "[po][ann][Inbox]");
  ASSERT_NE(a.index, nullptr);
  EXPECT_EQ(a.index, b.index);
  EXPECT_EQ(UseCount(a.key), 2u);

  // A close that keeps the identity gives up the hold once only.
  first.Run([] {
    CloseFolder(0);
    EXPECT_STREQ(TLSStoreIndex_Get()->postoffice, "po");
    CloseFolder(1);
  });
  EXPECT_EQ(UseCount(a.key), 1u);

  second.Run([] { CloseFolder(0); });
  EXPECT_EQ(FindOpenIndex(a.key), nullptr);
  // The object went, so the record's identity went with it.
  second.Run([] { EXPECT_STREQ(TLSStoreIndex_Get()->postoffice, ""); });
}

TEST_F(IndexRegistryTest, AffinityOnGivesEachThreadItsOwnObject) {
  StoreLibrary_SetAffinity(1);
  Worker first, second;
  Opened a = first.Run([] { return OpenFolder("po", "bob", "Inbox"); });
  Opened b = second.Run([] { return OpenFolder("po", "bob", "Inbox"); });
  EXPECT_EQ(b.result, 1u);
  EXPECT_NE(a.index, b.index);
  EXPECT_EQ(a.key.rfind("[po][bob][Inbox][", 0), 0u) << a.key;
  EXPECT_EQ(UseCount(b.key), 1u);

  first.Run([] { CloseFolder(1); });
  EXPECT_EQ(FindOpenIndex(a.key), nullptr);
  EXPECT_NE(FindOpenIndex(b.key), nullptr);
}

TEST_F(IndexRegistryTest, OnlyOneTurnsAffinityOnAndOverlongKeysAreRefused) {
  EXPECT_EQ(StoreLibrary_SetAffinity(2), 1u);
  EXPECT_EQ(AffinityMode(), 0u);
  STOREINDEXTYPE* record = TLSStoreIndex_Get();
  ASSERT_TRUE(SetItemIndexKey(record, "0001.MAI"));
  EXPECT_STREQ(record->index_key, "[][][][0001.MAI]");

  // A key that cannot fit is refused rather than cut.
  std::memset(record->folder, 'f', 1000);
  record->folder[1000] = '\0';
  std::strcpy(record->postoffice, "a-long-postoffice-name");
  EXPECT_FALSE(SetFolderIndexKey(record));
  EXPECT_STREQ(record->index_key, "");
}

TEST_F(IndexRegistryTest, ThreadEndReleasesTheRecordAsTheAffinitySays) {
  StoreLibrary_SetAffinity(1);
  Worker private_user;
  Opened own = private_user.Run([] { return OpenFolder("po", "dee", "Inbox"); });
  ASSERT_NE(FindOpenIndex(own.key), nullptr);
  private_user.Finish();
  EXPECT_EQ(FindOpenIndex(own.key), nullptr);

  StoreLibrary_SetAffinity(0);
  Opened mine = OpenFolder("po", "dee", "Drafts");
  Worker sharer;
  Opened shared = sharer.Run([] { return OpenFolder("po", "dee", "Drafts"); });
  EXPECT_EQ(UseCount(mine.key), 2u);
  sharer.Finish();
  // The ended thread's hold is not counted down: others may still use it.
  EXPECT_EQ(UseCount(mine.key), 2u);
}

class Tracked : public ThreadOwned {
 public:
  explicit Tracked(std::atomic<int>* freed) : freed_(freed) {}
  ~Tracked() override { ++*freed_; }

 private:
  std::atomic<int>* freed_;
};

TEST_F(IndexRegistryTest, ThreadReleaseAndThreadEndFreeWhatTheThreadKept) {
  StoreLibrary_SetAffinity(1);
  std::atomic<int> lists_freed{0};
  std::atomic<int> search_freed{0};
  Opened opened = OpenFolder("po", "eve", "Inbox");
  ASSERT_TRUE(SetThreadFolderLists(new Tracked(&lists_freed)));
  ASSERT_TRUE(SetThreadSearchState(new Tracked(&search_freed)));
  TLSStoreIndex_Get()->provider_buffer.reset(new unsigned char[kProviderBufferSize]);
  EXPECT_EQ(StoreLibrary_ThreadRelease(), 1u);
  EXPECT_EQ(FindOpenIndex(opened.key), nullptr);
  EXPECT_EQ(lists_freed.load(), 1);
  // The search state outlives a release; it belongs to the search calls.
  EXPECT_EQ(search_freed.load(), 0);

  Worker worker;
  worker.Run([&] {
    SetThreadFolderLists(new Tracked(&lists_freed));
    SetThreadSearchState(new Tracked(&search_freed));
  });
  worker.Finish();
  EXPECT_EQ(lists_freed.load(), 2);
  EXPECT_EQ(search_freed.load(), 1);
  FreeThreadSearchState();
}

}  // namespace
}  // namespace qx
