#include "index/index_document.h"

#include <random>
#include <string>

#include "index/index_elements.h"
#include "index/index_format.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

class IndexDocumentTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    setenv("QXSTORE_DIAG", "stdout", 1);  // printed lines are checked
    MailFolderTest::SetUp();
    index_path_ = Path("_index.xml");
  }
  void TearDown() override {
    platform::ClearFaults();
    MailFolderTest::TearDown();
  }

  // A document with `count` entries, each with a subject and a size.
  static XmlDocument Sample(int count) {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(InitializeIndexDocument(document));
    for (int i = 0; i < count; ++i) {
      pugi::xml_node entry = AppendElement(document.DocumentElement(), kEntryElement);
      SetAttribute(entry, kIdAttribute, "M" + std::to_string(i) + ".MAI");
      SetAttribute(entry, kUidAttribute, std::to_string(i + 1));
      SetChildText(entry, kSubjectElement, "subject <" + std::to_string(i) + "> & more");
      SetChildText(entry, kSizeElement, std::to_string(100 * i));
    }
    return document;
  }

  std::string index_path_;
};

TEST_F(IndexDocumentTest, ADocumentSavesAsBareUtf8AndLoadsBackUnderAnyPathSpelling) {
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  ASSERT_TRUE(InitializeIndexDocument(document));
  pugi::xml_node entry = AppendElement(document.DocumentElement(), kEntryElement);
  SetAttribute(entry, kIdAttribute, "A.MAI");
  SetAttribute(entry, kUidAttribute, "1");
  SetChildText(entry, kSubjectElement, "a < b");
  SetDocumentLastUid(document, 4000000000u);
  ASSERT_EQ(SaveDocumentFile(document, index_path_), 1u);
  EXPECT_EQ(ReadFile(index_path_), "<BASEELEMENT LASTUID=\"4000000000\"><ELEMENT ID=\"A.MAI\" "
                                   "UID=\"1\"><SUBJECT>a &lt; b</SUBJECT></ELEMENT></BASEELEMENT>");
  EXPECT_FALSE(Exists(index_path_ + ".tmp"));

  XmlDocument loaded = XmlDocument::New();
  ASSERT_TRUE(LoadDocumentFile(loaded, folder_ + "\\_INDEX.XML"));
  EXPECT_EQ(loaded.Xml(), document.Xml());
  EXPECT_EQ(DocumentLastUid(loaded), 4000000000u);
}

TEST_F(IndexDocumentTest, TextWithHighControlAndInvalidBytesSurvivesSaveAndLoad) {
  XmlDocument document = Sample(0);
  pugi::xml_node entry = AppendElement(document.DocumentElement(), kEntryElement);
  const std::string raw_id = std::string("caf\xe9\x01\xff\xc3(.MAI", 11);
  SetAttribute(entry, kIdAttribute, raw_id);
  SetChildText(entry, kSubjectElement,
               std::string("tab\there\x01\x1f caf\xe9 \xc3\xa9\r\nend", 23));
  SetChildText(entry, kFromElement, std::string(1, '\0') + "x");
  ASSERT_EQ(SaveDocumentFile(document, index_path_), 1u);

  XmlDocument loaded = CreateIndexDocument(kXmlNotCompatibleMessage);
  ASSERT_TRUE(LoadDocumentFile(loaded, index_path_));
  pugi::xml_node back = FindItemElement(loaded, raw_id);
  ASSERT_TRUE(back);
  // The parser folds CR LF into LF, as every XML reader does.
  EXPECT_EQ(GetChildText(back, kSubjectElement), "tab\there   caf    \nend");
  EXPECT_EQ(GetChildText(back, kFromElement), " x");

  // A file another writer left with Latin-1 bytes still loads, bytes kept.
  WriteFile(index_path_,
            "<BASEELEMENT><ELEMENT "
            "ID=\"\xe9t\xe9.MAI\"><SUBJECT>\xe9\xff</SUBJECT></ELEMENT></BASEELEMENT>");
  ASSERT_TRUE(LoadDocumentFile(loaded, index_path_));
  EXPECT_EQ(GetChildText(FindItemElement(loaded, "\xe9t\xe9.MAI"), kSubjectElement), "\xe9\xff");
}

TEST_F(IndexDocumentTest, ATruncatedOrCorruptIndexFailsCleanlyWithTheParserMessage) {
  ASSERT_EQ(SaveDocumentFile(Sample(12), index_path_), 1u);
  const std::string whole = ReadFile(index_path_);
  XmlDocument document = XmlDocument::New();
  for (size_t length = 0; length < whole.size(); length += 5) {
    WriteFile(index_path_, whole.substr(0, length));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(LoadDocumentFile(document, index_path_)) << length;
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(printed.starts_with("Error:\nCode = 0x")) << printed;
    EXPECT_NE(printed.find("\nSource = Line : 1; Char : "), std::string::npos) << printed;
    EXPECT_FALSE(document.DocumentElement());
  }

  std::mt19937 random(12345);
  for (int round = 0; round < 150; ++round) {
    std::string damaged = whole;
    for (int flips = 0; flips < 4; ++flips) {
      damaged[random() % damaged.size()] = static_cast<char>(random() % 256);
    }
    WriteFile(index_path_, damaged);
    testing::internal::CaptureStdout();
    bool loaded = LoadDocumentFile(document, index_path_);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(loaded, static_cast<bool>(document.DocumentElement()));
  }
  EXPECT_FALSE(LoadDocumentFile(XmlDocument(), index_path_));
}

TEST_F(IndexDocumentTest, AFailedSaveLeavesThePreviousIndexWhole) {
  ASSERT_EQ(SaveDocumentFile(Sample(3), index_path_), 1u);
  const std::string before = ReadFile(index_path_);
  for (auto [op, error] : {std::pair{platform::FaultOp::kWrite, platform::kErrorDiskFull},
                           std::pair{platform::FaultOp::kMove, platform::kErrorAccessDenied}}) {
    platform::InjectFault(op, "_index.xml", error);
    testing::internal::CaptureStdout();
    EXPECT_EQ(SaveDocumentFile(Sample(500), index_path_), 0u);
    EXPECT_TRUE(testing::internal::GetCapturedStdout().starts_with(
        "Context: Saving Index File to Folder\nError:\nCode = 8007"));
    EXPECT_EQ(ReadFile(index_path_), before);
    EXPECT_FALSE(Exists(index_path_ + ".tmp"));
  }
}

}  // namespace
}  // namespace qx
