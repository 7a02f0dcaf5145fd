#include <chrono>
#include <string>
#include <vector>

#include "index/direct_transactions.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "platform/file.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

class DirectTransactionsTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    mailbox_ = mail_root() + "/PO/MAILROOT/box";
    folder_ = mailbox_ + "/Inbox";
    MakeDirs(folder_);
  }

  // A message file of exactly `size` bytes.
  void WriteMessage(const std::string& name, size_t size, const std::string& headers = "") {
    std::string text = "Subject: " + name + "\r\n" + headers + "\r\n";
    text.resize(size, 'x');
    WriteFile(folder_ + "/" + name, text);
  }

  XmlDocument LoadIndex(const char* file = "_index.xml") const {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(LoadDocumentFile(document, folder_ + "/" + file));
    return document;
  }

  std::vector<std::string> Ids(const char* file = "_index.xml") const {
    std::vector<std::string> ids;
    XmlDocument document = LoadIndex(file);
    for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
      ids.push_back(AttributeValue(entry, kIdAttribute));
    }
    return ids;
  }

  std::string Field(const char* id, const char* child) const {
    return GetChildText(FindItemElement(LoadIndex(), id), child);
  }

  // Sets the index file's write time an hour back, so that a rewrite shows.
  uint64_t AgeIndex() const {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const uint64_t then =
        platform::kUnixEpochAsFileTime +
        (std::chrono::duration_cast<std::chrono::seconds>(now).count() - 3600) *
            platform::kTicksPerSecond;
    EXPECT_TRUE(platform::SetFileTimes(folder_ + "/_index.xml", platform::FileTimes{0, then, then}));
    return then;
  }

  uint64_t IndexWriteTime() const {
    platform::FileTimes times;
    EXPECT_TRUE(platform::GetFileTimes(folder_ + "/_index.xml", &times));
    return times.last_write;
  }

  // Delivers the files so that the folder has an index file, and forgets
  // the change flag that a folder's first index leaves.
  void Deliver(const char* list) {
    ASSERT_EQ(Direct_StoreIndex_InsertItem("PO", "box", "Inbox", list), 1u);
    platform::DeleteFile(folder_ + "/_CHANGE.DTY");
  }

  std::string mailbox_;
  std::string folder_;
};

TEST_F(DirectTransactionsTest, InsertIndexesEachFileInOrderAndGrowsTheSizeCaches) {
  WriteMessage("B.MAI", 3000);
  WriteMessage("A.MAI", 1100);
  WriteMessage("C.MAI", 600);
  WriteFile(mailbox_ + "/_DIRSIZE.TMP", "10");
  WriteFile(folder_ + "/_DIRSIZE.TMP", "4");

  Deliver("B.MAI,A.MAI");
  EXPECT_EQ(Ids(), (std::vector<std::string>{"A.MAI", "B.MAI"}));
  EXPECT_EQ(Field("B.MAI", kSizeElement), "3000");
  EXPECT_EQ(Field("A.MAI", kFlagStatusElement), "\\RECENT");
  EXPECT_EQ(LoadIndex().Xml().find(kPendingStatusElement), std::string::npos);
  EXPECT_STREQ(AttributeValue(FindItemElement(LoadIndex(), "A.MAI"), kUidAttribute), "2");
  EXPECT_EQ(ReadFile(mailbox_ + "/_DIRSIZE.TMP"), "14");
  EXPECT_EQ(ReadFile(folder_ + "/_DIRSIZE.TMP"), "8");
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));

  // Names already indexed are skipped; the new one still goes in, and
  // only its size is added.
  ASSERT_EQ(Direct_StoreIndex_InsertItem("PO", "box", "Inbox", "A.MAI,C.MAI,B.MAI"), 1u);
  EXPECT_EQ(Ids(), (std::vector<std::string>{"A.MAI", "B.MAI", "C.MAI"}));
  EXPECT_STREQ(AttributeValue(FindItemElement(LoadIndex(), "C.MAI"), kUidAttribute), "3");
  EXPECT_EQ(ReadFile(mailbox_ + "/_DIRSIZE.TMP"), "15");
  EXPECT_FALSE(Exists(folder_ + "/_CHANGE.DTY"));
}

TEST_F(DirectTransactionsTest, InsertWithABusyBlockChangesNothingAndMarksTheFolder) {
  WriteMessage("A.MAI", 100);
  Deliver("A.MAI");
  const std::string before = ReadFile(folder_ + "/_index.xml");
  WriteMessage("B.MAI", 2048);
  WriteFile(mailbox_ + "/_DIRSIZE.TMP", "10");
  WriteFile(folder_ + "/_index.blk", "");

  EXPECT_EQ(Direct_StoreIndex_InsertItem("PO", "box", "Inbox", "B.MAI"), 0u);
  EXPECT_EQ(ReadFile(folder_ + "/_index.xml"), before);
  EXPECT_TRUE(Exists(folder_ + "/_CHANGE.DTY"));
  EXPECT_TRUE(Exists(folder_ + "/_index.blk"));
  EXPECT_EQ(ReadFile(mailbox_ + "/_DIRSIZE.TMP"), "10");

  EXPECT_EQ(Direct_StoreIndex_RemoveItem("PO", "box", "Inbox", "A.MAI"), 0u);
  EXPECT_EQ(Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", "A.MAI", "+\\SEEN"), 0u);
  EXPECT_EQ(ReadFile(folder_ + "/_index.xml"), before);
}

TEST_F(DirectTransactionsTest, InsertTakesFlagsPerFileOrOneListForAll) {
  WriteMessage("A.MAI", 100);
  WriteMessage("B.MAI", 100);
  WriteMessage("C.MAI", 100, "X-QXTempFlags: \\DELETED\r\n");
  ASSERT_EQ(Direct_StoreIndex_InsertItemEx("PO", "box", "Inbox", "A.MAI,B.MAI,C.MAI",
                                           "\\FLAGGED,\\ANSWERED"),
            1u);
  EXPECT_EQ(Field("A.MAI", kFlagStatusElement), "\\FLAGGED \\RECENT");
  EXPECT_EQ(Field("B.MAI", kFlagStatusElement), "\\ANSWERED \\RECENT");
  EXPECT_EQ(Field("C.MAI", kFlagStatusElement), "\\DELETED \\RECENT");

  WriteMessage("D.MAI", 100);
  WriteMessage("E.MAI", 100);
  ASSERT_EQ(Direct_StoreIndex_InsertItemEx("PO", "box", "Inbox", "D.MAI,E.MAI", "\\SEEN"), 1u);
  EXPECT_EQ(Field("D.MAI", kFlagStatusElement), "\\SEEN \\RECENT");
  EXPECT_EQ(Field("E.MAI", kFlagStatusElement), "\\SEEN \\RECENT");
}

TEST_F(DirectTransactionsTest, GroupMarkerInAnyCaseSendsTheInsertToTheGroupIndex) {
  WriteMessage("G1.MAI", 100);
  ASSERT_EQ(Direct_StoreIndex_InsertItemEx("PO", "box", "Inbox", "G1.MAI", "$qxgroup"), 1u);
  EXPECT_EQ(Ids("_groups.xml"), std::vector<std::string>{"G1.MAI"});
  EXPECT_FALSE(Exists(folder_ + "/_index.xml"));
  EXPECT_FALSE(Exists(folder_ + "/_groups.blk"));
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));
}

TEST_F(DirectTransactionsTest, UpdateAppliesFlagChangeTextsAndSavesOnlyWhenSomethingChanged) {
  WriteMessage("A.MAI", 100);
  WriteMessage("B.MAI", 100);
  Deliver("A.MAI,B.MAI");

  ASSERT_EQ(Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", "A.MAI,missing.MAI", "+\\SEEN"), 1u);
  EXPECT_EQ(Field("A.MAI", kFlagStatusElement), "\\RECENT \\SEEN");
  EXPECT_EQ(Field("A.MAI", kReadElement), "1");
  EXPECT_EQ(Field("B.MAI", kFlagStatusElement), "\\RECENT");

  ASSERT_EQ(Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", "A.MAI,B.MAI", "\\ANSWERED"), 1u);
  EXPECT_EQ(Field("A.MAI", kFlagStatusElement), "\\ANSWERED");
  EXPECT_EQ(Field("A.MAI", kReadElement), "0");
  EXPECT_EQ(Field("B.MAI", kFlagStatusElement), "\\ANSWERED");

  const std::string before = ReadFile(folder_ + "/_index.xml");
  const uint64_t aged = AgeIndex();
  ASSERT_EQ(Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", "A.MAI", "-\\RECENT"), 1u);
  EXPECT_EQ(IndexWriteTime(), aged);
  EXPECT_EQ(ReadFile(folder_ + "/_index.xml"), before);
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));
  EXPECT_EQ(Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", "A.MAI", nullptr), 0u);
}

TEST_F(DirectTransactionsTest, RemoveLowersBothSizeCachesByTheRemovedSizes) {
  WriteMessage("A.MAI", 2048);
  WriteMessage("B.MAI", 1024);
  WriteMessage("C.MAI", 5000);
  Deliver("A.MAI,B.MAI,C.MAI");
  WriteFile(mailbox_ + "/_DIRSIZE.TMP", "20");
  WriteFile(folder_ + "/_DIRSIZE.TMP", "9");

  ASSERT_EQ(Direct_StoreIndex_RemoveItem("PO", "box", "Inbox", "A.MAI,missing.MAI,B.MAI"), 1u);
  EXPECT_EQ(Ids(), std::vector<std::string>{"C.MAI"});
  EXPECT_EQ(ReadFile(mailbox_ + "/_DIRSIZE.TMP"), "17");
  EXPECT_EQ(ReadFile(folder_ + "/_DIRSIZE.TMP"), "6");
  EXPECT_FALSE(Exists(folder_ + "/_CHANGE.DTY"));

  // A removal larger than the cached size leaves 0, never a negative number.
  WriteFile(folder_ + "/_DIRSIZE.TMP", "3");
  ASSERT_EQ(Direct_StoreIndex_RemoveItem("PO", "box", "Inbox", "C.MAI"), 1u);
  EXPECT_EQ(ReadFile(folder_ + "/_DIRSIZE.TMP"), "0");
  EXPECT_EQ(ReadFile(mailbox_ + "/_DIRSIZE.TMP"), "12");
  ASSERT_EQ(Direct_StoreIndex_RemoveItem("PO", "box", "Inbox", ""), 1u);
  EXPECT_TRUE(Ids().empty());
}

}  // namespace
}  // namespace qx
