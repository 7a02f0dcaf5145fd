#include "index/index_open.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/item_insert.h"
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
    setenv("QXSTORE_DIAG", "stdout", 1);  // what a repair prints is checked
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

TEST_F(IndexOpenTest, ADamagedIndexIsRebuiltKeepingTheUidAndFlagsOfEveryWholeEntry) {
  for (const char* name : {"a.MAI", "b.MAI", "c.MAI", "d.MAI"}) Put(name, MessageText(name));
  // c's entry is cut off in the middle of the file, which ends before its root does; d was
  // never indexed.
  const std::string damaged =
      "<BASEELEMENT LASTUID=\"12\"><ELEMENT ID=\"b.MAI\" UID=\"9\"><FLAGSTATUS>\\ANSWERED"
      "</FLAGSTATUS></ELEMENT><ELEMENT ID=\"c.MAI\" UID=\"11\"><FLAGSTA<ELEMENT ID=\"a.MAI\" "
      "UID=\"7\"><FLAGSTATUS>\\SEEN \\FLAGGED</FLAGSTATUS></ELEMENT>";
  Put("_index.xml", damaged);
  testing::internal::CaptureStdout();
  ASSERT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(HeldIds(), (Ids{"a.MAI", "b.MAI", "c.MAI", "d.MAI"}));
  EXPECT_EQ(IndexField("a.MAI", "FLAGSTATUS"), "\\SEEN \\FLAGGED");
  EXPECT_EQ(IndexField("b.MAI", "FLAGSTATUS"), "\\ANSWERED");
  const XmlDocument rebuilt = LoadIndex();
  const auto uid = [&](const char* id) {
    return FindItemElement(rebuilt, id).attribute("UID").as_uint();
  };
  EXPECT_EQ(uid("a.MAI"), 7u);
  EXPECT_EQ(uid("b.MAI"), 9u);
  EXPECT_EQ(uid("c.MAI"), 13u);  // above the damaged file's LASTUID: 11 may be out there
  EXPECT_EQ(uid("d.MAI"), 14u);
  EXPECT_EQ(DocumentLastUid(rebuilt), 14u);
  EXPECT_EQ(ReadFile(Path("_index.bad")), damaged);
  EXPECT_NE(printed.find("Fixed index file "), std::string::npos) << printed;
  EXPECT_NE(printed.find("kept the UIDs and flags of 2 of 3 entries, LASTUID 12"), std::string::npos)
      << printed;

  // Nothing whole at all: the index starts over, still keeping the bytes.
  Put("_index.xml", "\x01\x02 not an index");
  EXPECT_EQ(OpenStoreIndex(index_, kOpenLoad), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (Ids{"a.MAI", "b.MAI", "c.MAI", "d.MAI"}));
  EXPECT_EQ(ReadFile(Path("_index.bad")), "\x01\x02 not an index");
}

TEST_F(IndexOpenTest, UidsAreNeverHandedOutTwiceAndNeverWrap) {
  for (const char* name : {"a.MAI", "b.MAI", "e.MAI"}) Put(name, MessageText(name));
  // An unreadable LASTUID is taken from the entries, not as 0.
  Put("_index.xml", "<BASEELEMENT LASTUID=\"4x\"><ELEMENT ID=\"a.MAI\" UID=\"7\"/>"
                    "<ELEMENT ID=\"b.MAI\" UID=\"9\"/></BASEELEMENT>");
  ASSERT_EQ(OpenStoreIndex(index_, kOpenLoad), kOpenLoaded);
  EXPECT_EQ(index_->last_uid, 9u);
  ASSERT_EQ(StoreIndexInsertItem(index_, "e.MAI", 1), 1u);
  EXPECT_EQ(CurrentEntry(index_).attribute("UID").as_uint(), 10u);

  // Two entries with one UID: the later one is renumbered above LASTUID at the next commit.
  Put("_index.xml", "<BASEELEMENT LASTUID=\"7\"><ELEMENT ID=\"a.MAI\" UID=\"7\"/>"
                    "<ELEMENT ID=\"b.MAI\" UID=\"7\"/><ELEMENT ID=\"e.MAI\" UID=\"5\"/></BASEELEMENT>");
  ASSERT_EQ(OpenStoreIndex(index_, kOpenLoad), kOpenLoaded);
  index_->modified = 1;
  EXPECT_EQ(StoreIndex_Save(index_, 0), 1u);
  XmlDocument saved = LoadIndex();
  EXPECT_EQ(FindItemElement(saved, "a.MAI").attribute("UID").as_uint(), 7u);
  EXPECT_EQ(FindItemElement(saved, "b.MAI").attribute("UID").as_uint(), 8u);
  EXPECT_EQ(FindItemElement(saved, "e.MAI").attribute("UID").as_uint(), 5u);
  EXPECT_EQ(DocumentLastUid(saved), 8u);

  // A folder at the last UID there is refuses new ones, by insertion and by scan.
  Put("_index.xml", "<BASEELEMENT LASTUID=\"4294967295\"><ELEMENT ID=\"a.MAI\" UID=\"4294967295\"/>"
                    "</BASEELEMENT>");
  ASSERT_EQ(OpenStoreIndex(index_, kOpenLoad), kOpenLoaded);
  EXPECT_EQ(StoreIndexInsertItem(index_, "b.MAI", 1), 0u);
  ASSERT_EQ(OpenStoreIndex(index_, kOpenReindex), kOpenLoaded);
  EXPECT_EQ(HeldIds(), Ids{"a.MAI"});
  EXPECT_EQ(DocumentLastUid(LoadIndex()), 4294967295u);
}

}  // namespace
}  // namespace qx
