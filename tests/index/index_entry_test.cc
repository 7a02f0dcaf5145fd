#include "index/index_entry.h"

#include <array>
#include <random>
#include <string>

#include "index/index_document.h"
#include "index/folder_status.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/message_entry_text.h"
#include "message/message_uid.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

class IndexEntryTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    MailFolderTest::SetUp();
    ForgetUidBrandingSetting();
    document_ = CreateIndexDocument(kXmlNotCompatibleMessage);
    ASSERT_TRUE(InitializeIndexDocument(document_));
  }

  std::string Put(const std::string& name, const std::string& contents) {
    MailFolderTest::Put(name, contents);
    return contents;
  }
  pugi::xml_node Add(const std::string& name, uint32_t validity, uint32_t* last_uid,
                     pugi::xml_node before = pugi::xml_node()) {
    const uint32_t size = static_cast<uint32_t>(ReadFile(Path(name)).size());
    return AddMessageEntry(document_.DocumentElement(), before, folder_, name, size, validity,
                           false, last_uid);
  }

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
  platform::FileTimes times;
  ASSERT_TRUE(platform::GetFileTimes(Path("A.MAI"), &times));
  uint32_t last_uid = 4;
  pugi::xml_node entry = Add("A.MAI", 0, &last_uid);
  ASSERT_TRUE(entry);
  EXPECT_EQ(last_uid, 5u);
  EXPECT_EQ(
      NodeXml(entry),
      "<ELEMENT ID=\"A.MAI\" UID=\"5\"><MESSAGEDATE>2011-03-01T11:00:00</MESSAGEDATE>"
      "<MODIFIEDDATE>" +
          std::to_string(platform::DosStampFromFileTime(times.last_write)) +
          "</MODIFIEDDATE>"
          "<IMPORTANCE>2</IMPORTANCE><FLAGSTATUS>\\RECENT</FLAGSTATUS><ATTACHMENTS>1</ATTACHMENTS>"
          "<FROM>Ren  &lt;rene@example.org&gt;</FROM><TO>a@x,b@x</TO><CC>c@x</CC>"
          "<SUBJECT>Hello\tthere</SUBJECT><RECEIVED>2011-03-01T10:00:00</RECEIVED><READ>0</READ>"
          "<STATE>0</STATE><CLASS>IPM.Note</CLASS><SIZE>" +
          std::to_string(message.size()) + "</SIZE></ELEMENT>");
  // Empty values leave their element without text.
  Put("B.MAI", "\r\n");
  pugi::xml_node bare = Add("B.MAI", 0, &last_uid);
  EXPECT_EQ(NodeXml(bare.child(kMessageDateElement)), "<MESSAGEDATE/>");
  EXPECT_EQ(GetElementNumber(bare.child(kImportanceElement)), 3u);

  uint32_t unchanged = last_uid;
  EXPECT_FALSE(Add("MISSING.MAI", 0, &unchanged));
  EXPECT_EQ(unchanged, last_uid);
}

TEST(IndexElementsTest, IdsWithQuotesAreFoundExactlyAndNumbersReadLeniently) {
  XmlDocument document = XmlDocument::New();
  ASSERT_TRUE(document.LoadXml("<BASEELEMENT><ELEMENT ID='it&apos;s \"q\"'><N>123abc</N><E/>"
                               "<M><X>1</X>2</M></ELEMENT></BASEELEMENT>"));
  pugi::xml_node entry = FindItemElement(document, "it's \"q\"");
  ASSERT_TRUE(entry);
  EXPECT_FALSE(FindItemElement(document, "it's"));
  EXPECT_EQ(GetElementNumber(entry.child("N")), 123u);
  EXPECT_EQ(GetElementNumber(entry.child("MISSING")), 0u);
  EXPECT_EQ(GetElementText(entry.child("M")), "");  // the first child is an element
  EXPECT_EQ(IndexSafeText(std::string("a\tb\nc\rd\x01\x7f\x80\xff\0e", 13)), "a\tb\nc\rd \x7f   e");
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

std::string RandomBytes(std::mt19937& random, size_t most) {
  // Mostly the bytes the serialiser treats specially, then anything.
  static constexpr char kSpecial[] = {'&', '<', '>', '"', '\'', '\t', '\n', '\r', '\0', '\x01',
                                      '\x1f', '\x7f', '\x80', '\xe9', '\xff', ' ', 'a', 'Z'};
  std::string text(random() % (most + 1), ' ');
  for (char& c : text) {
    c = random() % 2 ? kSpecial[random() % sizeof kSpecial] : static_cast<char>(random() % 256);
  }
  return text;
}

// The entry text written without a DOM must be the bytes the DOM prints, for
// any values a hostile message or file name can bring, and count the same.
TEST(MessageEntryTextTest, IsTheDomEntryByteForByteAndCountsTheSame) {
  std::mt19937 random(20261206);
  for (int round = 0; round < 3000; ++round) {
    MessageHeaders record;
    std::string* texts[] = {&record.message_date, &record.sender, &record.recipients,
                            &record.copy_recipients, &record.subject, &record.received_date,
                            &record.message_class, &record.flag_words};
    for (std::string* text : texts) *text = round % 5 == 0 ? std::string() : RandomBytes(random, 12);
    if (round % 3 == 0) record.flag_words = "\\Seen \\fLAGGED \\Deleted\\ANSWERED";
    record.read = random() % 2;
    record.has_attachments = random() % 2;
    record.importance = static_cast<int32_t>(random() % 6);
    record.modified_stamp = random();
    record.file_size = random();
    const std::string name = round == 0 ? std::string() : RandomBytes(random, 10);
    const uint32_t uid = random();

    XmlDocument scratch = XmlDocument::New();
    const pugi::xml_node root = scratch.dom().append_child(kRootElement);
    const std::string expected = NodeXml(BuildMessageEntry(root, pugi::xml_node(), name, uid, record));
    std::string written;
    AppendMessageEntryText(&written, name, uid, record);
    ASSERT_EQ(written, expected) << "round " << round;

    std::array<uint32_t, kFolderStatusFields> from_dom{};
    std::array<uint32_t, kFolderStatusFields> counted{};
    ASSERT_TRUE(ComputeFolderStatus(scratch, from_dom));
    StartFolderStatus(counted, 1);  // a root without LASTUID counts its one child
    CountMessageEntryStatus(record, counted);
    ASSERT_EQ(counted, from_dom) << "round " << round;
  }
}

}  // namespace
}  // namespace qx
