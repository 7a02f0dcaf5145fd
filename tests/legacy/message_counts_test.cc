// The counting functions of the legacy enumeration, with and without an
// enumeration open in the process.

#include "legacy/message_counts.h"

#include <cstring>
#include <memory>
#include <string>

#include "frame/thread_state.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

class MessageCountsTest : public test::StoreTest {
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

  // Elements A, B, C, D: B and D are read; C carries the FLAGS child that
  // the new-message query looks for.
  void WriteIndex() {
    WriteFile(inbox_ + "/_index.xml",
              "<BASEELEMENT LASTUID=\"4\">"
              "<ELEMENT ID=\"A.MAI\" UID=\"1\"><READ>0</READ></ELEMENT>"
              "<ELEMENT ID=\"B.MAI\" UID=\"2\"><READ>1</READ></ELEMENT>"
              "<ELEMENT ID=\"C.MAI\" UID=\"3\"><FLAGS>/RECENT</FLAGS><READ>0</READ></ELEMENT>"
              "<ELEMENT ID=\"D.MAI\" UID=\"4\"><READ>1</READ></ELEMENT>"
              "<ELEMENT ID=\"E.MAI\" UID=\"5\"><READ>0</READ></ELEMENT>"
              "</BASEELEMENT>");
  }

  std::string Next() {
    MESSAGEITEMRECORD item{};
    return MessageItemFindNext(list_.get(), &item) == 1 ? item.id : "(end)";
  }

  std::string inbox_;
  std::unique_ptr<MESSAGELISTRECORD> list_;
};

TEST_F(MessageCountsTest, WithoutAnEnumerationEachCountLoadsItsOwnIndexAndLeavesNothing) {
  WriteIndex();
  uint32_t position = 3;
  MessageItemListSetPosition(&position);
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 5u);
  EXPECT_EQ(EnumerationCursor(), 0u);
  EXPECT_EQ(Next(), "(end)") << "no list is left open";

  MessageItemListSetPosition(&position);
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 3u);
  EXPECT_EQ(EnumerationCursor(), 0u);
  EXPECT_EQ(MessageItemListGetNewLength(list_.get()), 1u);
  EXPECT_EQ(Next(), "(end)");

  // A count never builds an index; one that does not load counts 0 and
  // leaves the position alone.
  std::remove((inbox_ + "/_index.xml").c_str());
  WriteFile(inbox_ + "/A.MAI", "Subject: a\r\n\r\nbody\r\n");
  MessageItemListSetPosition(&position);
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 0u);
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 0u);
  EXPECT_EQ(MessageItemListGetNewLength(list_.get()), 0u);
  EXPECT_FALSE(Exists(inbox_ + "/_index.xml"));
  EXPECT_EQ(EnumerationCursor(), 3u);
  EXPECT_EQ(MessageItemListGetLength(nullptr), 0u);
}

TEST_F(MessageCountsTest, NewMessagesOfAStoreIndexCountZero) {
  WriteFile(inbox_ + "/A.MAI", "Subject: a\r\n\r\nbody\r\n");
  WriteFile(inbox_ + "/B.MAI", "Subject: b\r\n\r\nbody\r\n");
  ASSERT_EQ(ScanFolders(const_cast<char*>(inbox_.c_str()), 0, 0), 1u);
  ASSERT_NE(ReadFile(inbox_ + "/_index.xml").find("<FLAGSTATUS>\\RECENT</FLAGSTATUS>"),
            std::string::npos);
  EXPECT_EQ(MessageItemListGetNewLength(list_.get()), 0u);
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 2u);
}

TEST_F(MessageCountsTest, UnreadCountNarrowsTheRestOfTheEnumeration) {
  WriteIndex();
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "A.MAI");
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 5u);
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 3u);
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 3u) << "the list is now the unread ones";
  // The position stays where it was: 1, now counted in the unread list.
  EXPECT_EQ(Next(), "C.MAI");
  EXPECT_EQ(Next(), "E.MAI");
  EXPECT_EQ(Next(), "(end)");
  // The list ran out, so the next count is of the index again.
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 5u);
}

TEST_F(MessageCountsTest, NewCountDuringAnEnumerationIsTheUnreadNarrowing) {
  WriteIndex();
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_EQ(MessageItemListGetNewLength(list_.get()), 3u);
  uint32_t position = 0;
  MessageItemListSetPosition(&position);
  EXPECT_EQ(Next(), "A.MAI");
  EXPECT_EQ(Next(), "C.MAI");
}

TEST_F(MessageCountsTest, CountsOfAFilteredEnumeration) {
  WriteIndex();
  std::strcpy(list_->filter,
              "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
              "<xsl:template match=\"/\"><BASEELEMENT>"
              "<xsl:copy-of select=\"BASEELEMENT/ELEMENT[@UID &gt; 3]\"/>"
              "</BASEELEMENT></xsl:template></xsl:stylesheet>");
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  EXPECT_STREQ(item.id, "D.MAI");
  EXPECT_EQ(MessageItemListGetLength(list_.get()), 2u);
  // The narrowing selects from the index itself, not from the filter's output.
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 3u);

  // With the index released, the narrowing has nothing to select from.
  ASSERT_EQ(MessageItemFindFirst(list_.get(), &item), 1u);
  MessageItemFindClose(list_.get());
  EXPECT_EQ(MessageItemListGetUnReadLength(list_.get()), 0u);
  EXPECT_EQ(Next(), "(end)");
}

}  // namespace
}  // namespace qx
