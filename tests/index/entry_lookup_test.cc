#include "index/entry_lookup.h"

#include <random>
#include <string>
#include <vector>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/item_insert.h"
#include "index/item_remove.h"
#include "index/store_index.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

// Documents that other writers or damage may leave: out of byte order,
// duplicate IDs, entries without an ID, a second root.
const char* const kDocuments[] = {
    "<BASEELEMENT LASTUID=\"9\"><ELEMENT ID=\"M.MAI\"/><ELEMENT ID=\"c.MAI\"/>"
    "<ELEMENT ID=\"B.MAI\"/><ELEMENT/><ELEMENT ID=\"c.MAI\" UID=\"2\"/><ELEMENT ID=\"Z.MAI\"/>"
    "<OTHER ID=\"D.MAI\"/><ELEMENT ID=\"A.MAI\"/></BASEELEMENT>",
    "<BASEELEMENT><ELEMENT ID=\"K.MAI\"/></BASEELEMENT><BASEELEMENT><ELEMENT ID=\"B.MAI\"/></BASEELEMENT>",
    "<BASEELEMENT LASTUID=\"0\"/>",
};

class EntryLookupTest : public test::MailFolderTest {
 protected:
  StoreIndex* IndexHolding(const char* text) {
    StoreIndex* index = NewIndex();
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(document.LoadXml(text));
    HoldDocument(index, document);
    return index;
  }
};

// Random inserts and removals, with and without the lookup, on two copies of
// each document: the documents must stay byte for byte alike, so the lookup
// answers as the walks do.
TEST_F(EntryLookupTest, InsertsAndRemovesExactlyAsTheWalksDo) {
  const std::vector<std::string> names = {"A.MAI", "B.MAI", "C.MAI", "c.MAI", "D.MAI", "K.MAI",
                                          "M.MAI", "N.MAI", "Z.MAI", "a.MAI", "z.MAI", ""};
  EntryInsertOptions id_only;
  id_only.read_file = false;
  std::mt19937 random(20240601);
  for (const char* text : kDocuments) {
    StoreIndex* walked = IndexHolding(text);
    StoreIndex* looked_up = IndexHolding(text);
    EntryLookup lookup(HeldDocument(looked_up));
    for (int step = 0; step < 400; ++step) {
      const std::string& name = names[random() % names.size()];
      if (random() % 3 == 0) {
        uint32_t size_walked = 0, size_looked_up = 0;
        EXPECT_EQ(RemoveIndexEntry(walked, name, &size_walked),
                  RemoveIndexEntry(looked_up, name, &size_looked_up, &lookup));
      } else {
        EXPECT_EQ(InsertIndexEntry(walked, name, id_only, nullptr),
                  InsertIndexEntry(looked_up, name, id_only, nullptr, &lookup));
      }
      ASSERT_EQ(HeldDocument(walked).Xml(), HeldDocument(looked_up).Xml()) << text << " step " << step;
      EXPECT_EQ(lookup.Find(name), FindItemElement(HeldDocument(looked_up), name));
    }
  }
}

}  // namespace
}  // namespace qx
