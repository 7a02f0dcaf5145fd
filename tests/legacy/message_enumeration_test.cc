// Enumeration of a folder's index elements through the older flat
// interface: rebuilds, positions, filters and the element records.

#include "legacy/message_enumeration.h"

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "frame/thread_state.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

std::string Message(const std::string& subject, bool read) {
  return "From: sender@example.org\r\nSubject: " + subject + "\r\n" +
         (read ? "X-Read: 1\r\n" : "") + "Date: Tue, 01 Mar 2011 12:00:00 +0000\r\n\r\nHello\r\n";
}

// The stylesheet reshapes nothing, it only reorders or drops elements.
std::string Stylesheet(const std::string& body) {
  return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
         "<xsl:template match=\"/\"><BASEELEMENT>" + body + "</BASEELEMENT></xsl:template>"
         "</xsl:stylesheet>";
}

class MessageEnumerationTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    inbox_ = mail_root() + "/PO/MAILROOT/box/INBOX";
    MakeDirs(inbox_);
    list_ = std::make_unique<MESSAGELISTRECORD>();
    std::memset(list_.get(), 0, sizeof *list_);
    std::strcpy(list_->folder, "\\Inbox");
    std::strcpy(list_->postoffice, "PO");
    std::strcpy(list_->mailbox, "box");
  }

  void Put(const std::string& name, const std::string& subject, bool read = false) {
    WriteFile(inbox_ + "/" + name, Message(subject, read));
  }

  // The IDs the enumeration gives from FindFirst to the end.
  std::vector<std::string> Enumerate() {
    std::vector<std::string> ids;
    MESSAGEITEMRECORD item{};
    for (uint32_t more = MessageItemFindFirst(list_.get(), &item); more == 1;
         more = MessageItemFindNext(list_.get(), &item)) {
      ids.push_back(item.id);
    }
    return ids;
  }

  std::string inbox_;
  std::unique_ptr<MESSAGELISTRECORD> list_;
};

using Ids = std::vector<std::string>;

TEST_F(MessageEnumerationTest, FolderWithoutIndexIsRebuiltThenListedInNameOrder) {
  Put("B.MAI", "second");
  Put("A.MAI", "first", true);
  Put("C.MAI", "third");
  ASSERT_FALSE(Exists(inbox_ + "/_index.xml"));

  MESSAGEITEMRECORD item;
  std::memset(&item, 0x55, sizeof item);
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_TRUE(Exists(inbox_ + "/_index.xml"));
  EXPECT_EQ(item.status, 0u);
  EXPECT_STREQ(item.id, "A.MAI");
  EXPECT_GT(item.uid, 0);
  const std::string xml = item.xml;
  EXPECT_EQ(xml.rfind("<ELEMENT ID=\"A.MAI\" UID=\"" + std::to_string(item.uid) + "\">", 0), 0u)
      << xml;
  EXPECT_NE(xml.find("<SUBJECT>first</SUBJECT>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<READ>1</READ>"), std::string::npos) << xml;
  EXPECT_EQ(xml.substr(xml.size() - 10), "</ELEMENT>");

  const int32_t first_uid = item.uid;
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "B.MAI");
  EXPECT_GT(item.uid, first_uid);
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "C.MAI");
  EXPECT_EQ(MessageItemFindNext(list_.get(), &item), 0u);
  EXPECT_STREQ(item.id, "C.MAI") << "the end leaves the item as it was";
  EXPECT_EQ(MessageItemFindClose(list_.get()), 1u);

  // The index is now there and current: a second enumeration reads it as is.
  Put("D.MAI", "not yet indexed");
  EXPECT_EQ(Enumerate(), (Ids{"A.MAI", "B.MAI", "C.MAI"}));
  list_->rescan = 1;
  EXPECT_EQ(Enumerate(), (Ids{"A.MAI", "B.MAI", "C.MAI", "D.MAI"}));
}

TEST_F(MessageEnumerationTest, PositionIsPerThreadAndSetPositionPicksTheElement) {
  for (const char* name : {"1.MAI", "2.MAI", "3.MAI", "4.MAI", "5.MAI"}) Put(name, name);
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_EQ(EnumerationCursor(), 1u);

  uint32_t position = 3;
  EXPECT_EQ(MessageItemListSetPosition(&position), 1u);
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "4.MAI");

  // Another thread shares the list but starts at its own position 0.
  std::string other_thread_id;
  std::thread other([&] {
    MESSAGEITEMRECORD own{};
    if (MessageItemFindNext(list_.get(), &own) == 1) other_thread_id = own.id;
  });
  other.join();
  EXPECT_EQ(other_thread_id, "1.MAI");

  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "5.MAI");
  EXPECT_EQ(MessageItemFindNext(list_.get(), &item), 0u);

  // Running out released the list: going back finds nothing to step through.
  position = 0;
  MessageItemListSetPosition(&position);
  EXPECT_EQ(MessageItemFindNext(list_.get(), &item), 0u);
  EXPECT_EQ(MessageItemListSetPosition(nullptr), 0u);
}

TEST_F(MessageEnumerationTest, FindCloseReleasesTheIndexButNotTheList) {
  Put("A.MAI", "a");
  Put("B.MAI", "b");
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_EQ(MessageItemFindClose(list_.get()), 1u);
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "B.MAI");
  EXPECT_EQ(MessageItemFindNext(list_.get(), &item), 0u);
}

TEST_F(MessageEnumerationTest, FilterReordersOrDropsElements) {
  Put("A.MAI", "banana", true);
  Put("B.MAI", "cherry");
  Put("C.MAI", "apple");
  Put("D.MAI", "date", true);

  std::strcpy(list_->filter,
              Stylesheet("<xsl:for-each select=\"BASEELEMENT/ELEMENT\">"
                         "<xsl:sort select=\"SUBJECT\"/><xsl:copy-of select=\".\"/>"
                         "</xsl:for-each>").c_str());
  EXPECT_EQ(Enumerate(), (Ids{"C.MAI", "A.MAI", "B.MAI", "D.MAI"}));

  std::strcpy(list_->filter,
              Stylesheet("<xsl:copy-of select=\"BASEELEMENT/ELEMENT[READ!='1']\"/>").c_str());
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "B.MAI");
  EXPECT_GT(item.uid, 0) << "the copied element keeps its attributes";
  EXPECT_NE(std::string(item.xml).find("<SUBJECT>cherry</SUBJECT>"), std::string::npos);
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "C.MAI");
  EXPECT_EQ(MessageItemFindNext(list_.get(), &item), 0u);

  // Output without the BASEELEMENT/ELEMENT shape lists nothing.
  std::strcpy(list_->filter,
              "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
              "<xsl:template match=\"/\"><LIST><xsl:copy-of select=\"BASEELEMENT/ELEMENT\"/>"
              "</LIST></xsl:template></xsl:stylesheet>");
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
}

TEST_F(MessageEnumerationTest, FilterThatDoesNotParseOrApplyGivesZero) {
  Put("A.MAI", "a");
  MESSAGEITEMRECORD item{};
  std::strcpy(item.id, "untouched");
  std::strcpy(list_->filter, "<xsl:stylesheet version=\"1.0\"><xsl:template match=\"/\">");
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
  EXPECT_STREQ(item.id, "untouched");
  // Well-formed XML that is no stylesheet.
  std::strcpy(list_->filter, "<BASEELEMENT><ELEMENT ID=\"X.MAI\"/></BASEELEMENT>");
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
  EXPECT_STREQ(item.id, "untouched");
  // A filter that fills the whole field without a terminator is read to its end.
  std::memset(list_->filter, 'x', sizeof list_->filter);
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
}

TEST_F(MessageEnumerationTest, ElementRecordsFromAHandWrittenIndex) {
  const std::string long_subject(3000, 's');
  WriteFile(inbox_ + "/_index.xml",
            "<BASEELEMENT LASTUID=\"9\">"
            "<ELEMENT><SUBJECT>no attributes</SUBJECT></ELEMENT>"
            "<ELEMENT ID=\"N.MAI\" UID=\"-7\"/>"
            "<ELEMENT ID=\"BIG.MAI\" UID=\"4294967295\"><SUBJECT>" + long_subject +
                "</SUBJECT></ELEMENT>"
            "<ELEMENT ID=\"" + std::string(200, 'i') + "\" UID=\"12abc\"/>"
            "</BASEELEMENT>");
  MESSAGEITEMRECORD item;
  std::memset(&item, 0x55, sizeof item);
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "");
  EXPECT_EQ(item.uid, 0);
  EXPECT_STREQ(item.xml, "<ELEMENT><SUBJECT>no attributes</SUBJECT></ELEMENT>");

  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_EQ(item.uid, -7);
  EXPECT_STREQ(item.xml, "<ELEMENT ID=\"N.MAI\" UID=\"-7\"/>");

  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_EQ(item.uid, INT32_MAX) << "read as a signed number, held at its limit";
  EXPECT_EQ(std::strlen(item.xml), 2047u);
  EXPECT_EQ(std::string(item.xml, 44), "<ELEMENT ID=\"BIG.MAI\" UID=\"4294967295\"><SUBJ");

  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_EQ(std::string(item.id), std::string(127, 'i'));
  EXPECT_EQ(item.uid, 12);
  EXPECT_EQ(MessageItemFindNext(list_.get(), &item), 0u);
}

TEST_F(MessageEnumerationTest, IndexThatDoesNotLoadGivesZeroAndIsNotRebuilt) {
  Put("A.MAI", "a");
  WriteFile(inbox_ + "/_index.xml", "<BASEELEMENT><ELEMENT ID=\"A.MAI\">");
  MESSAGEITEMRECORD item{};
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
  EXPECT_EQ(ReadFile(inbox_ + "/_index.xml"), "<BASEELEMENT><ELEMENT ID=\"A.MAI\">");

  // A folder that is not there: nothing to rebuild from, nothing listed.
  std::strcpy(list_->folder, "\\Missing");
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
  EXPECT_FALSE(Exists(mail_root() + "/PO/MAILROOT/box/Missing"));
  // A folder text too long for a path scans and blocks nothing.
  std::memset(list_->folder, 'f', sizeof list_->folder);
  std::memset(list_->postoffice, 'p', sizeof list_->postoffice);
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
  EXPECT_EQ(MessageItemFindFirst(nullptr, &item), 0u);
  EXPECT_EQ(MessageItemFindFirst(list_.get(), nullptr), 0u);
}

TEST_F(MessageEnumerationTest, HeldBlockMakesTheRebuildWaitForNobody) {
  Put("A.MAI", "a");
  Put("B.MAI", "b");
  WriteFile(inbox_ + "/_index.xml",
            "<BASEELEMENT LASTUID=\"1\"><ELEMENT ID=\"A.MAI\" UID=\"1\"/></BASEELEMENT>");
  WriteFile(inbox_ + "/_index.blk", "");
  // Another holder is writing: the index is read as it stands, at once.
  EXPECT_EQ(Enumerate(), (Ids{"A.MAI"}));
  EXPECT_EQ(clock().sleeps(), 0);
  EXPECT_TRUE(Exists(inbox_ + "/_index.blk"));
  std::remove((inbox_ + "/_index.blk").c_str());
  EXPECT_EQ(Enumerate(), (Ids{"A.MAI"})) << "a free block and an index: no rebuild";
  list_->rescan = 7;
  EXPECT_EQ(Enumerate(), (Ids{"A.MAI", "B.MAI"}));
}

TEST_F(MessageEnumerationTest, PublicFolderTexts) {
  const std::string sales = mail_root() + "/PO/PUBROOT/Sales";
  MakeDirs(sales);
  WriteFile(sales + "/P.MAI", Message("public", false));
  std::strcpy(list_->folder, "Public/Sales");
  EXPECT_EQ(Enumerate(), (Ids{"P.MAI"}));

  // Only the forward slash names a subfolder: this is the public root.
  WriteFile(mail_root() + "/PO/PUBROOT/R.MAI", Message("root", false));
  std::strcpy(list_->folder, "Public\\Sales");
  EXPECT_EQ(Enumerate(), (Ids{"R.MAI"}));
}

}  // namespace
}  // namespace qx
