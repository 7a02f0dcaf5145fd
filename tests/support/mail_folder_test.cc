#include "support/mail_folder_test.h"

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/store_index.h"

namespace qx::test {

std::string MessageText(const std::string& subject, const std::string& extra_headers,
                        const std::string& body) {
  return "From: sender@example.org\r\nSubject: " + subject + "\r\n" + extra_headers + "\r\n" + body;
}

void MailFolderTest::SetUp() {
  StoreTest::SetUp();
  mailbox_ = mail_root() + "/PO/MAILROOT/box";
  folder_ = mailbox_ + "/Inbox";
  MakeDirs(folder_);
}

void MailFolderTest::TearDown() {
  for (StoreIndex* index : indexes_) {
    ReleaseStoreIndex(index);
    DestroyStoreIndex(index);
  }
  indexes_.clear();
  StoreTest::TearDown();
}

XmlDocument MailFolderTest::LoadIndex(const char* file) const {
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  EXPECT_TRUE(LoadDocumentFile(document, Path(file))) << file;
  return document;
}

std::vector<std::string> EntryIds(const XmlDocument& document) {
  std::vector<std::string> ids;
  if (!document.DocumentElement()) return ids;
  for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
    ids.emplace_back(entry.attribute(kIdAttribute).value());
  }
  return ids;
}

std::vector<std::string> MailFolderTest::IndexIds(const char* file) const {
  return EntryIds(LoadIndex(file));
}

std::string MailFolderTest::IndexField(const std::string& id, const char* name) const {
  return GetChildText(FindItemElement(LoadIndex(), id), name);
}

StoreIndex* MailFolderTest::NewIndex() {
  StoreIndex* index = CreateStoreIndex();
  indexes_.push_back(index);
  EXPECT_TRUE(CreateStoreIndexMutex(index));
  SetStoreIndexNames(index, "PO", "box", "Inbox");
  EXPECT_EQ(SetStoreIndexPaths(index), 1u);
  return index;
}

}  // namespace qx::test
