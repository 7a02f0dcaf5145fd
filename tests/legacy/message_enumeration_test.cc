// Enumeration of a folder's index elements through the older flat
// interface: rebuilds, positions, filters, counts and the element records.

#include "legacy/message_enumeration.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "frame/thread_state.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

using Ids = std::vector<std::string>;

// The stylesheet reshapes nothing, it only reorders or drops elements.
std::string Stylesheet(const std::string& body, const char* root = "BASEELEMENT") {
  return "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
         "<xsl:template match=\"/\"><" + std::string(root) + ">" + body + "</" + root +
         "></xsl:template></xsl:stylesheet>";
}

// Elements A to E: B and D are read; C carries the FLAGS child that the
// new-message query looks for.
const char* kIndex =
    "<BASEELEMENT LASTUID=\"5\">"
    "<ELEMENT ID=\"A.MAI\" UID=\"1\"><READ>0</READ></ELEMENT>"
    "<ELEMENT ID=\"B.MAI\" UID=\"2\"><READ>1</READ></ELEMENT>"
    "<ELEMENT ID=\"C.MAI\" UID=\"3\"><FLAGS>/RECENT</FLAGS><READ>0</READ></ELEMENT>"
    "<ELEMENT ID=\"D.MAI\" UID=\"4\"><READ>1</READ></ELEMENT>"
    "<ELEMENT ID=\"E.MAI\" UID=\"5\"><READ>0</READ></ELEMENT>"
    "</BASEELEMENT>";

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
    WriteFile(inbox_ + "/" + name, "From: sender@example.org\r\nSubject: " + subject + "\r\n" +
                                       (read ? "X-Read: 1\r\n" : "") + "\r\nHello\r\n");
  }

  std::string Next() {
    MESSAGEITEMRECORD item{};
    return MessageItemFindNext(list_.get(), &item) == 1 ? item.id : "(end)";
  }

  // The IDs the enumeration gives from FindFirst to the end.
  Ids Enumerate() {
    MESSAGEITEMRECORD item{};
    if (MessageItemFindFirst(list_.get(), &item) != 1) return {};
    Ids ids{item.id};
    for (std::string id = Next(); id != "(end)"; id = Next()) ids.push_back(id);
    return ids;
  }

  std::string inbox_;
  std::unique_ptr<MESSAGELISTRECORD> list_;
};

TEST_F(MessageEnumerationTest, FolderWithoutIndexIsRebuiltThenListedInNameOrder) {
  Put("B.MAI", "second");
  Put("A.MAI", "first", true);
  Put("C.MAI", "third");
  MESSAGEITEMRECORD item;
  std::memset(&item, 0x55, sizeof item);
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_TRUE(Exists(inbox_ + "/_index.xml"));
  EXPECT_STREQ(item.id, "A.MAI");
  const std::string xml = item.xml;
  EXPECT_EQ(xml.rfind("<ELEMENT ID=\"A.MAI\" UID=\"" + std::to_string(item.uid) + "\">", 0), 0u) << xml;
  EXPECT_NE(xml.find("<SUBJECT>first</SUBJECT>"), std::string::npos) << xml;
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_EQ(MessageItemFindNext(list_.get(), &item), 0u);
  EXPECT_STREQ(item.id, "C.MAI") << "the end leaves the item as it was";

  // The index is now current: it is read as is until a rescan is asked for.
  Put("D.MAI", "not yet indexed");
  EXPECT_EQ(Enumerate(), (Ids{"A.MAI", "B.MAI", "C.MAI"}));
  list_->rescan = 1;
  EXPECT_EQ(Enumerate(), (Ids{"A.MAI", "B.MAI", "C.MAI", "D.MAI"}));

  // A held block: the index is read as it stands, at once.
  Put("E.MAI", "e");
  WriteFile(inbox_ + "/_index.blk", "");
  EXPECT_EQ(Enumerate(), (Ids{"A.MAI", "B.MAI", "C.MAI", "D.MAI"}));
  EXPECT_EQ(clock().sleeps(), 0);
}

TEST_F(MessageEnumerationTest, PositionIsPerThreadAndSetPositionPicksTheElement) {
  for (const char* name : {"1.MAI", "2.MAI", "3.MAI", "4.MAI", "5.MAI"}) Put(name, name);
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  uint32_t position = 3;
  EXPECT_EQ(MessageItemListSetPosition(&position), 1u);
  EXPECT_EQ(Next(), "4.MAI");
  // Another thread shares the list but starts at its own position 0.
  std::thread([&] { EXPECT_EQ(Next(), "1.MAI"); }).join();
  // FindClose releases the index, not the list.
  EXPECT_EQ(MessageItemFindClose(list_.get()), 1u);
  EXPECT_EQ(Next(), "5.MAI");
  EXPECT_EQ(Next(), "(end)");
}

TEST_F(MessageEnumerationTest, FilterReordersOrDropsElementsAndABadOneGivesZero) {
  Put("A.MAI", "banana", true);
  Put("B.MAI", "cherry");
  Put("C.MAI", "apple");
  Put("D.MAI", "date", true);
  std::strcpy(list_->filter, Stylesheet("<xsl:for-each select=\"BASEELEMENT/ELEMENT\">"
                                        "<xsl:sort select=\"SUBJECT\"/><xsl:copy-of select=\".\"/>"
                                        "</xsl:for-each>").c_str());
  EXPECT_EQ(Enumerate(), (Ids{"C.MAI", "A.MAI", "B.MAI", "D.MAI"}));
  std::strcpy(list_->filter, Stylesheet("<xsl:copy-of select=\"BASEELEMENT/ELEMENT[READ!='1']\"/>").c_str());
  EXPECT_EQ(Enumerate(), (Ids{"B.MAI", "C.MAI"}));

  MESSAGEITEMRECORD item{};
  std::strcpy(item.id, "untouched");
  for (const std::string& filter :
       {std::string("<xsl:stylesheet version=\"1.0\"><xsl:template match=\"/\">"), std::string(4096, 'x')}) {
    std::memset(list_->filter, 0, sizeof list_->filter);  // the last one fills the field
    std::memcpy(list_->filter, filter.data(), std::min(filter.size(), sizeof list_->filter));
    EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u) << filter.substr(0, 60);
    EXPECT_STREQ(item.id, "untouched");
  }
}

TEST_F(MessageEnumerationTest, CountsWithAndWithoutAnOpenEnumeration) {
  WriteFile(inbox_ + "/_index.xml", kIndex);
  // Without an enumeration each count loads its own index and leaves no
  // list behind, with the position back at 0.
  uint32_t position = 3;
  MessageItemListSetPosition(&position);
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 5u);
  EXPECT_EQ(EnumerationCursor(), 0u);
  EXPECT_EQ(MessageItemListGetNewLength(list_.get()), 1u);
  EXPECT_EQ(Next(), "(end)");

  // During one, the unread count narrows the rest of it, keeping the position.
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 3u);
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 3u) << "the list is now the unread ones";
  EXPECT_EQ(Next(), "C.MAI");
  EXPECT_EQ(Next(), "E.MAI");

  // The narrowing selects from the index, not from the filter's output.
  std::strcpy(list_->filter, Stylesheet("<xsl:copy-of select=\"BASEELEMENT/ELEMENT[@UID &gt; 3]\"/>").c_str());
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 2u);
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 3u);

  // A count never builds an index; one that does not load counts 0.
  MessageItemFindClose(list_.get());
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 0u);
  EXPECT_EQ(Next(), "(end)");
  std::remove((inbox_ + "/_index.xml").c_str());
  Put("A.MAI", "a");
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 0u);
  EXPECT_FALSE(Exists(inbox_ + "/_index.xml"));
}

TEST_F(MessageEnumerationTest, HostileIndexesAndRecordsNeitherCrashNorRebuild) {
  const std::string long_subject(3000, 's');
  WriteFile(inbox_ + "/_index.xml",
            "<BASEELEMENT LASTUID=\"9\"><ELEMENT><SUBJECT>no attributes</SUBJECT></ELEMENT>"
            "<ELEMENT ID=\"BIG.MAI\" UID=\"4294967295\"><SUBJECT>" + long_subject + "</SUBJECT></ELEMENT>"
            "<ELEMENT ID=\"" + std::string(200, 'i') + "\" UID=\"12abc\"/></BASEELEMENT>");
  MESSAGEITEMRECORD item;
  std::memset(&item, 0x55, sizeof item);
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "");
  EXPECT_EQ(item.uid, 0);
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_EQ(item.uid, INT32_MAX) << "read as a signed number, held at its limit";
  EXPECT_EQ(std::strlen(item.xml), 2047u);
  ASSERT_EQ(MessageItemFindNext(list_.get(), &item), 1u);
  EXPECT_EQ(std::string(item.id), std::string(127, 'i'));

  Put("A.MAI", "a");
  WriteFile(inbox_ + "/_index.xml", "<BASEELEMENT><ELEMENT ID=\"A.MAI\">");
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
  EXPECT_EQ(ReadFile(inbox_ + "/_index.xml"), "<BASEELEMENT><ELEMENT ID=\"A.MAI\">");
  std::memset(list_->folder, 'f', sizeof list_->folder);
  std::memset(list_->postoffice, 'p', sizeof list_->postoffice);
  EXPECT_EQ(MessageItemFindFirst(list_.get(), &item), 0u);
  EXPECT_EQ(MessageItemFindFirst(nullptr, &item), 0u);
}

}  // namespace
}  // namespace qx
