#include "xml/xslt_transform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "index/index_elements.h"
#include "index/index_format.h"

namespace qx {
namespace {

XmlDocument Stylesheet(const std::string& text) {
  XmlDocument stylesheet = XmlDocument::New();
  EXPECT_TRUE(stylesheet.LoadXml(text.c_str()));
  return stylesheet;
}

TEST(XsltTransformTest, SizeSumSurvivesRawBytesAndAStylesheetCannotWriteFiles) {
  XmlDocument index = XmlDocument::New();
  ASSERT_TRUE(index.LoadXml(
      "<BASEELEMENT><ELEMENT ID='a'><SIZE>100</SIZE></ELEMENT><ELEMENT ID='b'><SIZE>200</SIZE>"
      "</ELEMENT><ELEMENT ID='c'/><ELEMENT ID='d'><SIZE>300</SIZE></ELEMENT></BASEELEMENT>"));
  // Bytes no XSLT processor accepts must not stop the sum.
  SetAttribute(index.DocumentElement().first_child(), "ID", std::string("\xe9\xff\x01\xc3", 4));
  SetChildText(index.DocumentElement().first_child(), kSubjectElement, "x");
  index.DocumentElement().first_child().child(kSubjectElement).first_child().set_value("\x02\xfe");
  XmlDocument sum = TransformNode(index.dom(), Stylesheet(kSizeSumStylesheet));
  ASSERT_TRUE(sum);
  EXPECT_EQ(GetElementNumber(sum.DocumentElement()), 600u);
  EXPECT_FALSE(TransformNode(index.dom(), Stylesheet("<notxsl/>")));

  const std::string target = std::filesystem::temp_directory_path() / "qx-xslt-written.xml";
  std::filesystem::remove(target);
  EXPECT_FALSE(TransformNode(
      index.dom(),
      Stylesheet("<xsl:stylesheet version='1.1' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                 "<xsl:template match='/'><R><xsl:document href='" + target +
                 "'><W/></xsl:document></R></xsl:template></xsl:stylesheet>")));
  EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
}  // namespace qx
