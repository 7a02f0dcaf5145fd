#include "index/xml_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {
namespace {

constexpr const char* kThreeEntries =
    "<BASEELEMENT LASTUID=\"9\">"
    "<ELEMENT ID=\"a.MAI\" UID=\"1\"><READ>0</READ><SUBJECT>first</SUBJECT></ELEMENT>"
    "<ELEMENT ID=\"b.MAI\" UID=\"2\"><READ>1</READ></ELEMENT>"
    "<ELEMENT ID=\"c.MAI\" UID=\"3\"><SUBJECT>no read</SUBJECT></ELEMENT>"
    "</BASEELEMENT>";

std::vector<std::string> Ids(const pugi::xpath_node_set& nodes) {
  std::vector<std::string> ids;
  for (const pugi::xpath_node& node : nodes) ids.push_back(node.node().attribute("ID").value());
  return ids;
}

TEST(XmlDocumentTest, HandlesShareOneDocumentUntilTheLastGoes) {
  EXPECT_EQ(XmlDocument().NewHandle(), 0u);
  EXPECT_FALSE(XmlDocument::FromHandle(0));
  uintptr_t handle = 0;
  {
    XmlDocument document = XmlDocument::New();
    ASSERT_TRUE(document.LoadXml(kThreeEntries));
    XmlDocument copy = document;
    handle = document.NewHandle();
    EXPECT_EQ(document.use_count(), 3);
    EXPECT_TRUE(XmlDocument::FromHandle(handle).Same(copy));
  }
  XmlDocument kept = XmlDocument::FromHandle(handle);
  EXPECT_EQ(kept.use_count(), 2);
  EXPECT_STREQ(kept.DocumentElement().name(), "BASEELEMENT");
  XmlDocument::ReleaseHandle(handle);
  EXPECT_EQ(kept.use_count(), 1);
  XmlDocument::ReleaseHandle(0);
}

TEST(XmlDocumentTest, PathsSelectInDocumentOrderBadOnesNothingAndEditsStayInTheParent) {
  XmlDocument document = XmlDocument::New();
  ASSERT_TRUE(document.LoadXml(kThreeEntries));
  pugi::xml_node root = document.dom();
  // An entry without READ is not "unread" to the path language.
  EXPECT_EQ(Ids(SelectNodes(root, "BASEELEMENT/ELEMENT[READ!='1']")), std::vector<std::string>{"a.MAI"});
  pugi::xml_node b = SelectSingleNode(root, "//BASEELEMENT/ELEMENT[@ID=\"b.MAI\"]");
  EXPECT_STREQ(b.attribute("UID").value(), "2");
  EXPECT_TRUE(SelectNodes(root, "BASEELEMENT/ELEMENT[").empty());
  EXPECT_FALSE(SelectSingleNode(root, "BASEELEMENT/ELEMENT[@ID='it's']"));
  EXPECT_TRUE(SelectNodes(pugi::xml_node(), "BASEELEMENT").empty());

  // A `before` that is not a child of the parent appends; a stranger is not removed.
  pugi::xml_node parent = document.DocumentElement();
  SetAttribute(InsertElementBefore(parent, "ELEMENT", b), "ID", "ab.MAI");
  SetAttribute(InsertElementBefore(parent, "ELEMENT", b.first_child()), "ID", "z.MAI");
  EXPECT_TRUE(RemoveChild(parent, b));
  EXPECT_FALSE(RemoveChild(parent, parent.first_child().first_child()));
  EXPECT_EQ(Ids(SelectNodes(root, "BASEELEMENT/ELEMENT")),
            (std::vector<std::string>{"a.MAI", "ab.MAI", "c.MAI", "z.MAI"}));
  EXPECT_FALSE(SetAttribute(pugi::xml_node(), "X", "y"));

  EXPECT_FALSE(document.LoadXml("<A><B></A>"));
  EXPECT_FALSE(document.DocumentElement());
  EXPECT_EQ(document.Xml(), "");
  EXPECT_FALSE(XmlDocument().LoadXml("<A/>"));
}

}  // namespace
}  // namespace qx
