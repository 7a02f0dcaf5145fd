#include "index/xml_document.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(XmlDocumentTest, HandlesShareOneDocumentUntilTheLastGoes) {
  EXPECT_EQ(XmlDocument().NewHandle(), 0u);
  EXPECT_FALSE(XmlDocument::FromHandle(0));
  uintptr_t handle = 0;
  {
    XmlDocument document = XmlDocument::New();
    ASSERT_TRUE(document.LoadXml("<BASEELEMENT><ELEMENT ID=\"a.MAI\"/></BASEELEMENT>"));
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
  // A document that failed to load holds nothing.
  EXPECT_FALSE(kept.LoadXml("<A><B></A>"));
  EXPECT_FALSE(kept.DocumentElement());
  EXPECT_EQ(kept.Xml(), "");
}

}  // namespace
}  // namespace qx
