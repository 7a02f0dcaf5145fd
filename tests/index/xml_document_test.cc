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

XmlDocument Loaded(const char* text) {
  XmlDocument document = XmlDocument::New();
  EXPECT_TRUE(document.LoadXml(text));
  return document;
}

TEST(XmlDocumentTest, ReferencesShareOneDocumentUntilTheLastGoes) {
  XmlDocument none;
  EXPECT_FALSE(none);
  EXPECT_EQ(none.NewHandle(), 0u);
  EXPECT_FALSE(XmlDocument::FromHandle(0));

  uintptr_t handle = 0;
  {
    XmlDocument document = Loaded(kThreeEntries);
    XmlDocument copy = document;
    EXPECT_TRUE(copy.Same(document));
    EXPECT_EQ(document.use_count(), 2);
    handle = document.NewHandle();
    EXPECT_EQ(document.use_count(), 3);
    EXPECT_TRUE(XmlDocument::FromHandle(handle).Same(document));
    EXPECT_FALSE(XmlDocument::New().Same(document));
  }
  XmlDocument kept = XmlDocument::FromHandle(handle);
  EXPECT_EQ(kept.use_count(), 2);
  EXPECT_STREQ(kept.DocumentElement().name(), "BASEELEMENT");
  XmlDocument::ReleaseHandle(handle);
  EXPECT_EQ(kept.use_count(), 1);
  XmlDocument::ReleaseHandle(0);
}

TEST(XmlDocumentTest, PathQueriesSelectInDocumentOrderAndBadPathsSelectNothing) {
  XmlDocument document = Loaded(kThreeEntries);
  pugi::xml_node root = document.dom();
  EXPECT_EQ(Ids(SelectNodes(root, "BASEELEMENT/ELEMENT")),
            (std::vector<std::string>{"a.MAI", "b.MAI", "c.MAI"}));
  EXPECT_EQ(Ids(SelectNodes(root, "//BASEELEMENT/ELEMENT")),
            (std::vector<std::string>{"a.MAI", "b.MAI", "c.MAI"}));
  // An entry without READ is not "unread" to the path language.
  EXPECT_EQ(Ids(SelectNodes(root, "BASEELEMENT/ELEMENT[READ!='1']")), (std::vector<std::string>{"a.MAI"}));
  EXPECT_EQ(Ids(SelectNodes(root, "BASEELEMENT/ELEMENT[SUBJECT='no read']")),
            (std::vector<std::string>{"c.MAI"}));
  EXPECT_STREQ(SelectSingleNode(root, "BASEELEMENT/ELEMENT[@ID=\"b.MAI\"]").attribute("UID").value(), "2");
  // Relative to an entry, not the document.
  pugi::xml_node first = SelectSingleNode(root, "BASEELEMENT/ELEMENT");
  EXPECT_EQ(NodeText(SelectSingleNode(first, "SUBJECT")), "first");

  EXPECT_TRUE(SelectNodes(root, "BASEELEMENT/ELEMENT[").empty());
  EXPECT_FALSE(SelectSingleNode(root, "BASEELEMENT/ELEMENT[@ID='it's']"));
  EXPECT_TRUE(SelectNodes(pugi::xml_node(), "BASEELEMENT").empty());
}

TEST(XmlDocumentTest, ChildrenAndAttributesChangeAsTheDomChangedThem) {
  XmlDocument document = Loaded(kThreeEntries);
  pugi::xml_node root = document.DocumentElement();
  pugi::xml_node b = SelectSingleNode(document.dom(), "BASEELEMENT/ELEMENT[@ID='b.MAI']");

  pugi::xml_node inserted = InsertElementBefore(root, "ELEMENT", b);
  SetAttribute(inserted, "ID", "ab.MAI");
  pugi::xml_node appended = AppendElement(root, "ELEMENT");
  SetAttribute(appended, "ID", "z.MAI");
  // A `before` that is not a child of the parent appends.
  pugi::xml_node stray = InsertElementBefore(root, "ELEMENT", b.first_child());
  SetAttribute(stray, "ID", "zz.MAI");
  EXPECT_EQ(Ids(SelectNodes(document.dom(), "BASEELEMENT/ELEMENT")),
            (std::vector<std::string>{"a.MAI", "ab.MAI", "b.MAI", "c.MAI", "z.MAI", "zz.MAI"}));

  MoveBefore(root, appended, root.first_child());
  EXPECT_TRUE(RemoveChild(root, b));
  EXPECT_FALSE(RemoveChild(root, stray.first_child()));
  EXPECT_EQ(Ids(SelectNodes(document.dom(), "BASEELEMENT/ELEMENT")),
            (std::vector<std::string>{"z.MAI", "a.MAI", "ab.MAI", "c.MAI", "zz.MAI"}));

  EXPECT_EQ(AttributeValue(root, "MISSING"), nullptr);
  EXPECT_STREQ(AttributeValue(root, "LASTUID"), "9");
  SetAttribute(root, "LASTUID", "10");
  SetAttribute(root, "NEW", "a\"<&>");
  EXPECT_STREQ(AttributeValue(root, "LASTUID"), "10");
  EXPECT_TRUE(NodeXml(root).starts_with("<BASEELEMENT LASTUID=\"10\" NEW=\"a&quot;&lt;&amp;"));
  EXPECT_FALSE(SetAttribute(pugi::xml_node(), "X", "y"));
}

TEST(XmlDocumentTest, TextIsTheJoinedTextOfDescendantsAndXmlIsUnformatted) {
  XmlDocument document = Loaded("<A>one<B>two<C>three</C></B><![CDATA[<four>]]></A>");
  EXPECT_EQ(NodeText(document.DocumentElement()), "onetwothree<four>");
  EXPECT_EQ(NodeText(document.DocumentElement().first_child()), "one");
  EXPECT_EQ(document.Xml(), "<A>one<B>two<C>three</C></B><![CDATA[<four>]]></A>");
  EXPECT_EQ(NodeXml(document.DocumentElement().child("B")), "<B>two<C>three</C></B>");

  EXPECT_FALSE(document.LoadXml("<A><B></A>"));
  EXPECT_FALSE(document.DocumentElement());
  EXPECT_EQ(document.Xml(), "");
  EXPECT_FALSE(document.LoadXml("<!-- only a comment -->"));
  EXPECT_FALSE(XmlDocument().LoadXml("<A/>"));
}

}  // namespace
}  // namespace qx
