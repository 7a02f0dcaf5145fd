#include "index/index_open.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "index/store_index.h"
#include "platform/file.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

using test::MessageText;
using Ids = std::vector<std::string>;

class IndexOpenTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    MailFolderTest::SetUp();
    index_ = NewIndex();
  }
  Ids HeldIds() const { return test::EntryIds(HeldDocument(index_)); }
  // Moves the index file's write time (and so its stamp) without reading it.
  void SetIndexWriteTime(uint64_t file_time) {
    ASSERT_TRUE(platform::SetFileTimes(Path("_index.xml"), platform::FileTimes{0, 0, file_time}));
  }

  StoreIndex* index_ = nullptr;
};

TEST_F(IndexOpenTest, UnchangedIndexGivesOneThenTwoWithoutAReadAndAnotherWritersIsReloaded) {
  Put("a.MAI", MessageText("a"));
  Put("b.MAI", MessageText("b"));
  ASSERT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (Ids{"a.MAI", "b.MAI"}));
  EXPECT_EQ(index_->last_uid, 2u);

  // Garbage behind an unchanged stamp proves the file is not read again.
  platform::FileTimes times;
  ASSERT_TRUE(platform::GetFileTimes(Path("_index.xml"), &times));
  Put("_index.xml", "not xml at all");
  SetIndexWriteTime(times.last_write);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);
  EXPECT_EQ(HeldIds(), (Ids{"a.MAI", "b.MAI"}));

  // A new stamp means another writer: the file is loaded again.
  Put("_index.xml", "<BASEELEMENT LASTUID=\"8\"><ELEMENT ID=\"a.MAI\" UID=\"1\"/>"
                    "<ELEMENT ID=\"z.MAI\" UID=\"8\"/></BASEELEMENT>");
  SetIndexWriteTime(131000000000000000ULL);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (Ids{"a.MAI", "z.MAI"}));
  EXPECT_EQ(index_->last_uid, 8u);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);
}

TEST_F(IndexOpenTest, ChangeFlagMakesTheNextCheckedOpenRescanAndIsConsumed) {
  Put("a.MAI", MessageText("a"));
  ASSERT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  Put("b.MAI", MessageText("b"));
  // Without the flag a checked open does not look at the files.
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);
  EXPECT_EQ(HeldIds(), Ids{"a.MAI"});

  Put("_CHANGE.DTY", "flag");
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirtyQuietly), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (Ids{"a.MAI", "b.MAI"}));
  EXPECT_FALSE(Exists(Path("_CHANGE.DTY")));
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);

  // A block held elsewhere skips the check: the flag stays for later.
  Put("_CHANGE.DTY", "flag");
  Put("_index.blk", "");
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);
  EXPECT_TRUE(Exists(Path("_CHANGE.DTY")));
}

TEST_F(IndexOpenTest, FirstLoadScansAndReindexDropsDeletedFilesAndAddsNewOnes) {
  Put("a.MAI", MessageText("a"));
  Put("b.MAI", MessageText("b"));
  ASSERT_EQ(OpenStoreIndex(index_, kOpenLoad), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (Ids{"a.MAI", "b.MAI"}));
  EXPECT_TRUE(Exists(Path("_FOLDER.DAT")));

  unlink(Path("a.MAI").c_str());
  Put("c.MAI", MessageText("c"));
  EXPECT_EQ(OpenStoreIndex(index_, kOpenReindex), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (Ids{"b.MAI", "c.MAI"}));
  EXPECT_EQ(index_->last_uid, 3u);
}

TEST_F(IndexOpenTest, CorruptIndexOpensWithZeroAndIsNotRebuilt) {
  Put("a.MAI", MessageText("a"));
  const std::string corrupt = "<BASEELEMENT LASTUID=\"3\"><ELEMENT ID=\"a.MAI\"";
  Put("_index.xml", corrupt);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenFailed);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenLoad), kOpenFailed);
  EXPECT_EQ(ReadFile(Path("_index.xml")), corrupt);

  // Only a rescan replaces it.
  EXPECT_EQ(OpenStoreIndex(index_, kOpenReindex), kOpenLoaded);
  EXPECT_EQ(HeldIds(), Ids{"a.MAI"});
}

}  // namespace
}  // namespace qx
