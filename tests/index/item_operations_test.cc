#include <string>
#include <vector>

#include "index/flag_change_text.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/item_insert.h"
#include "index/item_property.h"
#include "index/item_remove.h"
#include "index/item_select.h"
#include "index/message_id_lookup.h"
#include "index/store_index.h"
#include "qxstore.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

using Ids = std::vector<std::string>;

class ItemOperationsTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    MailFolderTest::SetUp();
    index_ = NewIndex();
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    ASSERT_TRUE(InitializeIndexDocument(document));
    HoldDocument(index_, document);
  }

  void WriteMessage(const std::string& name, const std::string& subject) {
    Put(name, "From: a@example.com\r\nSubject: " + subject + "\r\n\r\nbody\r\n");
  }
  XmlDocument document() const { return HeldDocument(index_); }
  Ids HeldIds() const { return test::EntryIds(document()); }
  pugi::xml_node Entry(const char* id) const { return FindItemElement(document(), id); }

  StoreIndex* index_ = nullptr;
};

TEST_F(ItemOperationsTest, InsertPlacesEntriesInByteOrderWithTheNextUidAndRemoveGivesTheSize) {
  for (const char* name : {"A.MAI", "C.MAI", "B.MAI", "b.MAI"}) WriteMessage(name, name);
  SetDocumentLastUid(document(), 40);
  for (const char* name : {"C.MAI", "A.MAI", "B.MAI", "b.MAI"}) {
    EXPECT_EQ(StoreIndexInsertItem(index_, name, 1), 1u);
  }
  EXPECT_EQ(HeldIds(), (Ids{"A.MAI", "B.MAI", "C.MAI", "b.MAI"}));
  EXPECT_STREQ(AttributeValue(Entry("C.MAI"), kUidAttribute), "41");
  EXPECT_STREQ(AttributeValue(Entry("b.MAI"), kUidAttribute), "44");
  EXPECT_EQ(index_->last_uid, 44u);
  pugi::xml_node entry = Entry("B.MAI");
  EXPECT_EQ(GetChildText(entry, kFlagStatusElement), "\\RECENT");
  EXPECT_EQ(GetChildText(entry, kSizeElement), std::to_string(ReadFile(Path("B.MAI")).size()));
  EXPECT_FALSE(entry.child(kPendingStatusElement));

  uint32_t size = 7;
  EXPECT_EQ(RemoveIndexEntry(index_, "b.MAI", &size), 1u);
  EXPECT_EQ(size, ReadFile(Path("b.MAI")).size());
  EXPECT_EQ(RemoveIndexEntry(index_, "b.MAI", &size), 0u);
  EXPECT_EQ(StoreIndexRemoveItem(index_, "A.MAI", 0), 1u);
  EXPECT_EQ(HeldIds(), (Ids{"B.MAI", "C.MAI"}));
}

TEST_F(ItemOperationsTest, InsertRefusesDuplicatesAndMissingFilesUnlessToldNotToRead) {
  WriteMessage("A.MAI", "first");
  ASSERT_EQ(StoreIndexInsertItem(index_, "A.MAI", 1), 1u);
  const std::string before = document().Xml();
  WriteMessage("A.MAI", "rewritten");
  for (const char* name : {"A.MAI", "missing.MAI", ""}) {
    EXPECT_EQ(StoreIndexInsertItem(index_, name, 1), 0u) << name;
  }
  EXPECT_EQ(document().Xml(), before);

  // Without reading, a name that has no file yet gets its ID and UID only.
  EXPECT_EQ(StoreIndexInsertItem(index_, "later.MAI", 0), 1u);
  EXPECT_STREQ(AttributeValue(Entry("later.MAI"), kUidAttribute), "2");
  EXPECT_FALSE(Entry("later.MAI").first_child());
}

TEST_F(ItemOperationsTest, FlagChangeTextAddsRemovesAndReplaces) {
  struct Case {
    const char *flags, *change, *result;
    bool changed;
  };
  const Case cases[] = {
      {"\\RECENT", "+\\SEEN", "\\RECENT \\SEEN", true},
      {"\\RECENT", "\\ANSWERED", "\\ANSWERED", true},
      {"\\SEEN", "-\\RECENT", "\\SEEN", false},
      {"\\SEEN \\RECENT", "-\\recent +FLAGGED", "\\SEEN \\FLAGGED", true},
      {"\\SEEN \\DELETED", "", "", true},
      {"\\SEEN", "DELETED SEEN", "\\DELETED \\SEEN", true},
      {"\\SEEN  \\ANSWERED", "+ - -\\SEEN", "\\ANSWERED", true},
  };
  for (const Case& c : cases) {
    std::string flags = c.flags;
    EXPECT_EQ(ApplyFlagChangeText(&flags, c.change), c.changed) << c.flags << " / " << c.change;
    EXPECT_EQ(flags, c.result) << c.flags << " / " << c.change;
  }
}

TEST_F(ItemOperationsTest, LookupsByIdAndFieldReadAndWriteTheSelectedFields) {
  Put("A.MAI",
      "From: x@example.com\r\nTo: y@example.com\r\nSubject: Hello 'quoted'\r\nX-Priority: "
      "1\r\n\r\nb\r\n");
  WriteMessage("B.MAI", "hello");
  ASSERT_EQ(StoreIndexInsertItem(index_, "A.MAI", 1), 1u);
  ASSERT_EQ(StoreIndexInsertItem(index_, "B.MAI", 1), 1u);

  MessageHeaders record;
  ASSERT_EQ(GetStoreItemByMessageId(index_, "A.MAI", 0, &record), 1u);
  EXPECT_EQ(record.recipients, "y@example.com");
  EXPECT_EQ(record.importance, 1);
  EXPECT_EQ(GetStoreItemByMessageId(index_, "C.MAI", 0, &record), 0u);

  record.subject = "changed";
  record.flag_words = "\\RECENT \\SEEN";
  ASSERT_EQ(SetStoreItemByMessageId(index_, "A.MAI", kSelectFlags, record), 1u);
  pugi::xml_node entry = Entry("A.MAI");
  EXPECT_EQ(GetChildText(entry, kFlagStatusElement), "\\RECENT \\SEEN");
  EXPECT_EQ(GetChildText(entry, kReadElement), "1");
  EXPECT_EQ(GetChildText(entry, kSubjectElement), "Hello 'quoted'");
  record.flag_words = "\\ANSWERED";
  ASSERT_EQ(SetStoreItemByMessageId(index_, "A.MAI", kSelectAllFields, record), 1u);
  EXPECT_EQ(GetChildText(entry, kReadElement), "0");
  EXPECT_EQ(GetChildText(entry, kSubjectElement), "changed");
  EXPECT_EQ(SetStoreItemByMessageId(index_, "C.MAI", kSelectSubject, record), 0u);

  // Field values with quotes, and field names that would break the path, are safe.
  pugi::xml_node found;
  EXPECT_EQ(SelectEntryByField(index_, &found, "SUBJECT", "HELLO", false), 0u);
  EXPECT_FALSE(found);
  ASSERT_EQ(SelectEntryByField(index_, &found, "SUBJECT", "HELLO", true), 1u);
  EXPECT_EQ(found, Entry("B.MAI"));
  record.subject = "it's";
  ASSERT_EQ(SetStoreItemByMessageId(index_, "A.MAI", kSelectSubject, record), 1u);
  ASSERT_EQ(SelectEntryByField(index_, &found, "SUBJECT", "it's", false), 1u);
  EXPECT_EQ(found, Entry("A.MAI"));
  EXPECT_EQ(SelectEntryByField(index_, &found, "SUBJECT]|//x[", "hello", false), 0u);
}

TEST_F(ItemOperationsTest, PropertyWritesMarkTheEntryPending) {
  pugi::xml_node entry;
  ASSERT_EQ(SetEntryProperty(index_, &entry, "NEW.MAI", kSubjectElement, "made"), 1u);
  EXPECT_EQ(entry, Entry("NEW.MAI"));
  EXPECT_EQ(GetChildText(entry, kPendingStatusElement), "1");
  EXPECT_EQ(index_->modified, 1u);
  pugi::xml_node none;
  EXPECT_EQ(SetEntryProperty(index_, &none, "", kSubjectElement, "x"), 0u);
}

}  // namespace
}  // namespace qx
