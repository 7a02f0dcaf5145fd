#pragma once
// A contact folder "Contacts" of mailbox "PO/MB" in a test store, with what
// the contact tests read back: the index file as pugixml parses it, and the
// cards on disk.

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "qxstore.h"
#include "support/item_property_reads.h"
#include "support/test_store.h"

namespace qx::test {

class ContactFolderTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(Dir());
  }

  std::string Dir() const { return mail_root() + "/PO/MAILROOT/MB/Contacts"; }
  std::string Card(const std::string& name) const { return Dir() + "/" + name; }
  std::string IndexFile() const { return Dir() + "/_index.xml"; }

  void PutCard(const std::string& name, const std::string& text, time_t seconds = 1300000000) {
    WriteFile(Card(name), text);
    SetWriteTime(Card(name), seconds);
  }

  static void SetWriteTime(const std::string& path, time_t seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
  }

  // The index file as another program would parse it; the test fails when
  // it does not parse.
  pugi::xml_node Index() {
    index_.reset();
    const pugi::xml_parse_result parsed = index_.load_file(IndexFile().c_str());
    EXPECT_TRUE(parsed) << parsed.description();
    return index_.child("BASEELEMENT");
  }

  // The IDs of the index's elements, in order.
  std::vector<std::string> Ids() {
    std::vector<std::string> ids;
    for (pugi::xml_node element : Index().children("ELEMENT")) ids.push_back(element.attribute("ID").value());
    return ids;
  }

  pugi::xml_node Element(const std::string& id) {
    return Index().find_child_by_attribute("ELEMENT", "ID", id.c_str());
  }

  // "<name>=<value>" for each attribute of the element, in order.
  std::vector<std::string> Attributes(const std::string& id) {
    std::vector<std::string> attributes;
    for (pugi::xml_attribute attribute : Element(id).attributes()) {
      attributes.push_back(std::string(attribute.name()) + "=" + attribute.value());
    }
    return attributes;
  }

  static std::string Text(const char* name) { return ItemText(name); }

  template <typename T>
  static bool Value(const char* name, T* out) {
    return ItemValue(name, out);
  }

 private:
  pugi::xml_document index_;
};

}  // namespace qx::test
