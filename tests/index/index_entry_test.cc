#include "index/index_entry.h"

#include <string>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "message/message_uid.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "support/test_store.h"

namespace qx {
namespace {

class IndexEntryTest : public test::StoreTest {
 protected:
  void SetUp() override {
    setenv("QXSTORE_DIAG", "stdout", 1);
    test::StoreTest::SetUp();
    ForgetUidBrandingSetting();
    folder_ = root() + "/mail/PO/box/Inbox";
    MakeDirs(folder_);
    document_ = CreateIndexDocument(kXmlNotCompatibleMessage);
    ASSERT_TRUE(InitializeIndexDocument(document_));
  }

  std::string Put(const std::string& name, const std::string& contents) {
    WriteFile(folder_ + "/" + name, contents);
    return contents;
  }
  uint32_t Stamp(const std::string& name) {
    platform::FileTimes times;
    EXPECT_TRUE(platform::GetFileTimes(folder_ + "/" + name, &times));
    return platform::DosStampFromFileTime(times.last_write);
  }
  pugi::xml_node Add(const std::string& name, uint32_t validity, uint32_t* last_uid,
                     pugi::xml_node before = pugi::xml_node()) {
    const uint32_t size = static_cast<uint32_t>(ReadFile(folder_ + "/" + name).size());
    return AddMessageEntry(document_.DocumentElement(), before, folder_, name, size, validity, false,
                           last_uid);
  }

  std::string folder_;
  XmlDocument document_;
};

TEST_F(IndexEntryTest, AnEntryHoldsTheFourteenMessageValuesInOrder) {
  const std::string message = Put(
      "A.MAI",
      "Received: by mx; Tue, 01 Mar 2011 10:00:00 +0000\r\n"
      "From: Ren\xe9 <rene@example.org>\r\nTo: a@x,\r\n b@x\r\nCC: c@x\r\n"
      "Subject: Hello\tthere\r\nDate: Tue, 01 Mar 2011 12:00:00 +0100\r\n"
      "X-Priority: 2\r\nX-QX-Class: IPM.Note\r\nContent-Type: multipart/mixed; boundary=b\r\n"
      "\r\n--b\r\nContent-Disposition: attachment; filename=x\r\n\r\nAA==\r\n--b--\r\n");
  uint32_t last_uid = 4;
  pugi::xml_node entry = Add("A.MAI", 0, &last_uid);
  ASSERT_TRUE(entry);
  EXPECT_EQ(last_uid, 5u);
  EXPECT_EQ(NodeXml(entry),
            "<ELEMENT ID=\"A.MAI\" UID=\"5\"><MESSAGEDATE>2011-03-01T11:00:00</MESSAGEDATE>"
            "<MODIFIEDDATE>" + std::to_string(Stamp("A.MAI")) + "</MODIFIEDDATE>"
            "<IMPORTANCE>2</IMPORTANCE><FLAGSTATUS>\\RECENT</FLAGSTATUS><ATTACHMENTS>1</ATTACHMENTS>"
            "<FROM>Ren  &lt;rene@example.org&gt;</FROM><TO>a@x,b@x</TO><CC>c@x</CC>"
            "<SUBJECT>Hello\tthere</SUBJECT><RECEIVED>2011-03-01T10:00:00</RECEIVED><READ>0</READ>"
            "<STATE>0</STATE><CLASS>IPM.Note</CLASS><SIZE>" + std::to_string(message.size()) +
            "</SIZE></ELEMENT>");
  // Empty values leave their element without text.
  Put("B.MAI", "\r\n");
  pugi::xml_node bare = Add("B.MAI", 0, &last_uid);
  EXPECT_EQ(NodeXml(bare.child(kMessageDateElement)), "<MESSAGEDATE/>");
  EXPECT_EQ(GetElementNumber(bare.child(kImportanceElement)), 3u);

  uint32_t unchanged = last_uid;
  EXPECT_FALSE(Add("MISSING.MAI", 0, &unchanged));
  EXPECT_EQ(unchanged, last_uid);
}

TEST_F(IndexEntryTest, FlagStatusStartsRecentOrFromTheTemporaryFlags) {
  uint32_t last_uid = 0;
  Put("1.MAI", "Subject: plain\r\n\r\n");
  Put("2.MAI", "X-Read: 1\r\n\r\n");
  Put("3.MAI", "X-QXTempFlags: \\FLAGGED\r\n\r\n");
  Put("4.MAI", "X-QXTempFlags: \\flagged \\seen\r\nX-Read: 1\r\n\r\n");
  Put("5.MAI", "X-Read: 1\r\nX-QXTempFlags: \r\n\r\n");
  const char* expected[] = {"\\RECENT", "\\SEEN", "\\FLAGGED \\RECENT", "\\flagged \\seen", "\\RECENT"};
  const char* read[] = {"0", "1", "0", "1", "1"};
  for (int i = 0; i < 5; ++i) {
    pugi::xml_node entry = Add(std::to_string(i + 1) + ".MAI", 0, &last_uid);
    EXPECT_EQ(GetChildText(entry, kFlagStatusElement), expected[i]) << i;
    EXPECT_EQ(GetChildText(entry, kReadElement), read[i]) << i;
  }
}

TEST_F(IndexEntryTest, UidsFromTheFileAreKeptOnlyWhenTheyCanBeTrusted) {
  const uint32_t v = FolderUidValidity(folder_);
  ASSERT_NE(v, 0u);
  EXPECT_EQ(FolderUidValidity(folder_ + "\\"), v);
  EXPECT_EQ(FolderUidValidity(folder_ + "/missing"), 0u);

  const std::string v_text = std::to_string(v);
  const std::string undotted = Put("A.MAI", "X-UID: 7\r\n\r\nbody");
  const std::string known = Put("B.MAI", "X-UID: " + v_text + ".5\r\n\r\nbody");
  Put("C.MAI", "X-UID: " + v_text + ".50\r\n\r\nbody");
  const std::string foreign = Put("D.MAI", "X-UID: 123.3\r\n\r\nbody");

  uint32_t last_uid = 10;
  EXPECT_STREQ(Add("A.MAI", v, &last_uid).attribute(kUidAttribute).value(), "11");
  EXPECT_EQ(ReadFile(folder_ + "/A.MAI"), undotted);
  EXPECT_STREQ(Add("B.MAI", v, &last_uid).attribute(kUidAttribute).value(), "5");
  EXPECT_EQ(ReadFile(folder_ + "/B.MAI"), known);
  EXPECT_STREQ(Add("C.MAI", v, &last_uid).attribute(kUidAttribute).value(), "12");
  EXPECT_EQ(ReadFile(folder_ + "/C.MAI"), "X-UID: " + v_text + ".12\r\n\r\nbody");
  EXPECT_STREQ(Add("D.MAI", v, &last_uid).attribute(kUidAttribute).value(), "13");
  EXPECT_EQ(ReadFile(folder_ + "/D.MAI"), foreign);
  EXPECT_EQ(last_uid, 13u);

  // A dry run reads and numbers without touching the file.
  MessageEntrySource source;
  Put("E.MAI", "X-UID: " + v_text + ".99\r\n\r\n");
  ASSERT_TRUE(ReadMessageEntrySource(folder_, "E.MAI", 0, v, false, &last_uid, &source));
  EXPECT_EQ(source.uid.uid, 14u);
  EXPECT_TRUE(source.uid.rewrite_file);
  EXPECT_EQ(ReadFile(folder_ + "/E.MAI"), "X-UID: " + v_text + ".99\r\n\r\n");
}

TEST_F(IndexEntryTest, EntriesGoBeforeTheGivenEntryAndRefreshKeepsFlagsAndUid) {
  uint32_t last_uid = 0;
  Put("B.MAI", "Subject: old\r\nX-QXTempFlags: \\ANSWERED\r\nFrom: f@x\r\n\r\n");
  Put("A.MAI", "Subject: a\r\n\r\n");
  pugi::xml_node b = Add("B.MAI", 0, &last_uid);
  Add("A.MAI", 0, &last_uid, b);
  EXPECT_STREQ(document_.DocumentElement().first_child().attribute(kIdAttribute).value(), "A.MAI");
  EXPECT_EQ(FindItemElement(document_, "B.MAI"), b);

  Put("B.MAI", "Subject: new \xff\r\nX-Read: 1\r\nFrom: changed@x\r\nDate: 02 Mar 2011 10:00:00 GMT\r\n\r\nlonger body");
  ASSERT_TRUE(RefreshMessageEntry(b, folder_, "B.MAI", 1234, 0));
  EXPECT_EQ(GetChildText(b, kSubjectElement), "new  ");
  EXPECT_EQ(GetChildText(b, kReadElement), "1");
  EXPECT_EQ(GetChildText(b, kSizeElement), "1234");
  EXPECT_EQ(GetChildText(b, kMessageDateElement), "2011-03-02T10:00:00");
  EXPECT_EQ(GetChildText(b, kReceivedElement), "2011-03-02T10:00:00");
  EXPECT_EQ(GetChildText(b, kFlagStatusElement), "\\ANSWERED \\RECENT");
  EXPECT_EQ(GetChildText(b, kFromElement), "f@x");
  EXPECT_STREQ(b.attribute(kUidAttribute).value(), "1");

  // An entry that has only its attributes gets the refreshed children.
  pugi::xml_node bare = AppendElement(document_.DocumentElement(), kEntryElement);
  SetAttribute(bare, kIdAttribute, "B.MAI");
  ASSERT_TRUE(RefreshMessageEntry(bare, folder_, "B.MAI", 9, 0));
  EXPECT_EQ(GetChildText(bare, kSizeElement), "9");
  EXPECT_FALSE(RefreshMessageEntry(bare, folder_, "GONE.MAI", 9, 0));

  MarkEntryPending(b);
  MarkEntryPending(b);
  EXPECT_TRUE(IsEntryPending(b));
  EXPECT_EQ(NodeXml(b).find("<QX_STATUS/>"), NodeXml(b).rfind("<QX_STATUS/>"));
  AppendElement(b, kPendingStatusElement);
  ClearEntryPending(b);
  EXPECT_FALSE(IsEntryPending(b));
  EXPECT_EQ(NodeXml(b).find("QX_STATUS"), std::string::npos);
}

TEST(IndexElementsTest, TextIsStoredAsPlainAsciiAndNumbersReadLeniently) {
  EXPECT_EQ(IndexSafeText(std::string("a\tb\nc\rd\x01\x7f\x80\xff\0e", 13)), "a\tb\nc\rd \x7f   e");
  XmlDocument document = XmlDocument::New();
  ASSERT_TRUE(document.LoadXml("<BASEELEMENT><ELEMENT ID='it&apos;s \"q\"'><N>123abc</N><E/>"
                               "<M><X>1</X>2</M></ELEMENT></BASEELEMENT>"));
  pugi::xml_node entry = FindItemElement(document, "it's \"q\"");
  ASSERT_TRUE(entry);
  EXPECT_FALSE(FindItemElement(document, "it's"));
  EXPECT_FALSE(FindItemElement(XmlDocument(), "x"));
  EXPECT_EQ(GetElementNumber(entry.child("N")), 123u);
  EXPECT_EQ(GetElementNumber(entry.child("E")), 0u);
  EXPECT_EQ(GetElementNumber(entry.child("MISSING")), 0u);

  pugi::xml_node mixed = entry.child("M");
  EXPECT_EQ(GetElementText(mixed), "");  // the first child is an element
  ASSERT_TRUE(SetElementText(mixed, "caf\xe9"));
  EXPECT_EQ(NodeXml(mixed), "<M>caf </M>");
  ASSERT_TRUE(SetElementText(mixed, ""));
  EXPECT_EQ(NodeXml(mixed), "<M/>");
  EXPECT_FALSE(SetElementText(pugi::xml_node(), "x"));
}

TEST(IndexFormatTest, MessagePropertiesMapToTheirIndexNamesWithoutRegardToCase) {
  EXPECT_STREQ(IndexNameForMessageProperty("PR_SUBJECT"), "SUBJECT");
  EXPECT_STREQ(IndexNameForMessageProperty("pr_qx_flagstatus"), "FLAGSTATUS");
  EXPECT_STREQ(IndexNameForMessageProperty("PR_SENSITIVITY"), "SENSITIVITY");
  EXPECT_EQ(IndexNameForMessageProperty("PR_BODY"), nullptr);
  EXPECT_EQ(EntryByIdPath("A.MAI"), "BASEELEMENT/ELEMENT[@ID='A.MAI']");
  EXPECT_EQ(EntryByChildValuePath("READ", "1"), "BASEELEMENT/ELEMENT[READ='1']");
}

}  // namespace
}  // namespace qx
