#pragma once
// A mail folder "PO/box/Inbox" in a temporary store, for the index tests:
// message files are put in it, its index file is read back, and index
// objects made for it are destroyed with the test.

#include <string>
#include <vector>

#include "xml/xml_document.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx::test {

// A message with the given subject, extra header lines and body.
std::string MessageText(const std::string& subject, const std::string& extra_headers = "",
                        const std::string& body = "body\r\n");

class MailFolderTest : public StoreTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  void Put(const std::string& name, const std::string& contents) {
    WriteFile(Path(name), contents);
  }

  // The folder's index file (or another document file of the folder), loaded.
  XmlDocument LoadIndex(const char* file = "_index.xml") const;
  // The IDs of its entries in document order.
  std::vector<std::string> IndexIds(const char* file = "_index.xml") const;
  // The text of child `name` of entry `id`.
  std::string IndexField(const std::string& id, const char* name) const;

  // An index object for the folder, with its mutex, names and paths set.
  StoreIndex* NewIndex();

  std::string mailbox_;
  std::string folder_;

 private:
  std::vector<StoreIndex*> indexes_;
};

// The IDs of the entries of a document.
std::vector<std::string> EntryIds(const XmlDocument& document);

}  // namespace qx::test
