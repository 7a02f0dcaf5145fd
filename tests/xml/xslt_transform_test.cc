#include "xml/xslt_transform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
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

TEST(XsltTransformTest, AStylesheetSeesOnlyItsSourceNeverAFile) {
  XmlDocument index = XmlDocument::New();
  ASSERT_TRUE(index.LoadXml("<BASEELEMENT><ELEMENT ID='a'/></BASEELEMENT>"));
  const std::string secret = std::filesystem::temp_directory_path() / "qx-xslt-secret.xml";
  std::ofstream(secret) << "<S>the secret</S>";
  const std::string stylesheet_head =
      "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>";
  const std::string imported = std::filesystem::temp_directory_path() / "qx-xslt-imported.xsl";
  std::ofstream(imported) << stylesheet_head << "<xsl:template match='/'><BASEELEMENT>"
                          << "<ELEMENT ID='secret'/></BASEELEMENT></xsl:template></xsl:stylesheet>";
  const std::string reads[] = {
      stylesheet_head + "<xsl:template match='/'><BASEELEMENT><ELEMENT ID='{document(\"" +
          secret + "\")/S}'/></BASEELEMENT></xsl:template></xsl:stylesheet>",
      stylesheet_head +
          "<xsl:template match='/'><BASEELEMENT><xsl:copy-of select=\"document('file://" +
          secret + "')\"/></BASEELEMENT></xsl:template></xsl:stylesheet>",
      stylesheet_head + "<xsl:import href='" + imported + "'/></xsl:stylesheet>",
      stylesheet_head + "<xsl:include href='" + imported + "'/></xsl:stylesheet>",
  };
  for (const std::string& text : reads) {
    XmlDocument result = TransformNode(index.dom(), Stylesheet(text));
    if (!result) continue;  // refused outright
    std::ostringstream printed;
    result.dom().print(printed);
    EXPECT_EQ(printed.str().find("secret"), std::string::npos) << text;
  }
  std::filesystem::remove(secret);
  std::filesystem::remove(imported);
}

}  // namespace
}  // namespace qx
