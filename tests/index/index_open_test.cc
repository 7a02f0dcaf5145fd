#include "index/index_open.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/index_scan.h"
#include "index/index_stamp.h"
#include "index/store_index.h"
#include "index/task_document.h"
#include "platform/file.h"
#include "support/test_store.h"

namespace qx {
namespace {

std::string Message(const std::string& subject) {
  return "From: a@example.org\r\nSubject: " + subject + "\r\n\r\nbody\r\n";
}

class IndexOpenTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    folder_ = mail_root() + "/PO/MAILROOT/box/Work";
    MakeDirs(folder_);
    index_ = CreateStoreIndex();
    ASSERT_TRUE(CreateStoreIndexMutex(index_));
    SetStoreIndexNames(index_, "PO", "box", "Work");
    ASSERT_EQ(SetStoreIndexPaths(index_), 1u);
  }
  void TearDown() override {
    ReleaseStoreIndex(index_);
    DestroyStoreIndex(index_);
    test::StoreTest::TearDown();
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  void Put(const std::string& name, const std::string& contents) { WriteFile(Path(name), contents); }
  // The IDs of the entries of the document the object holds.
  std::vector<std::string> HeldIds() const {
    std::vector<std::string> ids;
    XmlDocument document = HeldDocument(index_);
    if (!document) return ids;
    for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
      ids.emplace_back(entry.attribute(kIdAttribute).value());
    }
    return ids;
  }
  // Moves the index file's write time (and so its stamp) without reading it.
  void SetIndexWriteTime(uint64_t file_time) {
    ASSERT_TRUE(platform::SetFileTimes(Path("_index.xml"), platform::FileTimes{0, 0, file_time}));
  }

  std::string folder_;
  StoreIndex* index_ = nullptr;
};

TEST_F(IndexOpenTest, DirectoryComesFromTheNamesAndTheTypeFromTheFolderName) {
  EXPECT_EQ(std::string(index_->folder_directory), mail_root() + "\\PO\\MAILROOT\\box\\Work");
  EXPECT_EQ(FolderTypeFromName("\\/calendar"), uint32_t{kFolderTypeCalendar});
  EXPECT_EQ(FolderTypeFromName("Tasks"), uint32_t{kFolderTypeTasks});
  EXPECT_EQ(FolderTypeFromName("/Contacts"), uint32_t{kFolderTypeContacts});
  EXPECT_EQ(FolderTypeFromName("Contacts/Old"), uint32_t{kFolderTypeMail});
  EXPECT_EQ(OpenStoreIndex(nullptr, kOpenCheckDirty), kOpenFailed);
  StoreIndex blank;
  InitStoreIndex(&blank);
  EXPECT_EQ(OpenStoreIndex(&blank, kOpenCheckDirty), kOpenFailed);
  EXPECT_EQ(OpenStoreIndex(&blank, 0), kOpenFailed);
}

TEST_F(IndexOpenTest, UnchangedIndexIsReusedWithoutReadingTheFile) {
  Put("a.MAI", Message("a"));
  Put("b.MAI", Message("b"));
  ASSERT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (std::vector<std::string>{"a.MAI", "b.MAI"}));
  EXPECT_EQ(index_->entry_count, 2u);
  EXPECT_EQ(index_->last_uid, 2u);
  EXPECT_EQ(index_->index_file_size, static_cast<uint32_t>(ReadFile(Path("_index.xml")).size()));
  EXPECT_EQ(index_->index_stamp, FolderIndexStamp(index_->folder_directory, kFolderTypeMail));

  // Garbage behind an unchanged stamp proves the file is not read again.
  platform::FileTimes times;
  ASSERT_TRUE(platform::GetFileTimes(Path("_index.xml"), &times));
  Put("_index.xml", "not xml at all");
  SetIndexWriteTime(times.last_write);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);
  EXPECT_EQ(OpenStoreIndex(index_, 0), kOpenReused);
  EXPECT_EQ(HeldIds(), (std::vector<std::string>{"a.MAI", "b.MAI"}));
  EXPECT_FALSE(Exists(Path("_index.blk")));
}

TEST_F(IndexOpenTest, IndexChangedByAnotherWriterIsReloaded) {
  Put("a.MAI", Message("a"));
  ASSERT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  Put("_index.xml", "<BASEELEMENT LASTUID=\"8\"><ELEMENT ID=\"a.MAI\" UID=\"1\"/>"
                    "<ELEMENT ID=\"z.MAI\" UID=\"8\"/></BASEELEMENT>");
  SetIndexWriteTime(131000000000000000ULL);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (std::vector<std::string>{"a.MAI", "z.MAI"}));
  EXPECT_EQ(index_->last_uid, 8u);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);
}

TEST_F(IndexOpenTest, ChangeFlagMakesTheNextCheckedOpenRescanAndIsConsumed) {
  Put("a.MAI", Message("a"));
  ASSERT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  Put("b.MAI", Message("b"));
  // Without the flag a checked open does not look at the files.
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);
  EXPECT_EQ(HeldIds(), (std::vector<std::string>{"a.MAI"}));

  Put("_CHANGE.DTY", "flag");
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirtyQuietly), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (std::vector<std::string>{"a.MAI", "b.MAI"}));
  EXPECT_FALSE(Exists(Path("_CHANGE.DTY")));
  EXPECT_FALSE(Exists(Path("_index.blk")));
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);

  // A block held elsewhere skips the check: the flag stays for later.
  Put("_CHANGE.DTY", "flag");
  Put("_index.blk", "");
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenReused);
  EXPECT_TRUE(Exists(Path("_CHANGE.DTY")));
}

TEST_F(IndexOpenTest, ReindexDropsEntriesOfDeletedFilesAndAddsNewFiles) {
  Put("a.MAI", Message("a"));
  Put("b.MAI", Message("b"));
  ASSERT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenLoaded);
  unlink(Path("a.MAI").c_str());
  Put("c.MAI", Message("c"));
  EXPECT_EQ(OpenStoreIndex(index_, kOpenReindex), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (std::vector<std::string>{"b.MAI", "c.MAI"}));
  EXPECT_EQ(index_->last_uid, 3u);
}

TEST_F(IndexOpenTest, CorruptIndexFailsToOpenAndIsNotRebuilt) {
  Put("a.MAI", Message("a"));
  const std::string corrupt = "<BASEELEMENT LASTUID=\"3\"><ELEMENT ID=\"a.MAI\"";
  Put("_index.xml", corrupt);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenCheckDirty), kOpenFailed);
  EXPECT_EQ(OpenStoreIndex(index_, kOpenLoad), kOpenFailed);
  EXPECT_EQ(index_->folder_index, 0u);
  EXPECT_EQ(ReadFile(Path("_index.xml")), corrupt);
  EXPECT_FALSE(Exists(Path("_index.blk")));

  // Only a rescan replaces it.
  EXPECT_EQ(OpenStoreIndex(index_, kOpenReindex), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (std::vector<std::string>{"a.MAI"}));
}

TEST_F(IndexOpenTest, FolderWithoutIndexIsScannedAtItsFirstLoad) {
  Put("a.MAI", Message("a"));
  EXPECT_EQ(OpenStoreIndex(index_, kOpenLoad), kOpenLoaded);
  EXPECT_EQ(HeldIds(), (std::vector<std::string>{"a.MAI"}));
  EXPECT_TRUE(Exists(Path("_FOLDER.DAT")));
}

TEST_F(IndexOpenTest, TaskFolderStartsEmptyAndKeepsItsDocument) {
  ReleaseStoreIndex(index_);
  InitStoreIndex(index_);
  SetStoreIndexNames(index_, "PO", "box", "Tasks");
  index_->folder_type = kFolderTypeTasks;
  ASSERT_EQ(SetStoreIndexPaths(index_), 1u);
  MakeDirs(mail_root() + "/PO/MAILROOT/box/Tasks");
  EXPECT_EQ(GetStoreIndex(index_), 1u);
  XmlDocument document = HeldDocument(index_);
  ASSERT_TRUE(document);
  EXPECT_EQ(document.Xml(), "<BASEELEMENT/>");
  EXPECT_EQ(GetStoreIndex(index_), 1u);
  EXPECT_TRUE(HeldDocument(index_).Same(document));
}

}  // namespace
}  // namespace qx
