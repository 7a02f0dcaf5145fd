// vCards written by other software (tests/pim/data, README there names the
// Debian packages they come from): indexed, read through the store item
// interface, one line rewritten with every other byte kept, and an address
// book file split into one card per file.

#include <string>
#include <vector>

#include "contact_folder_fixture.h"
#include "pim/contact_scan.h"
#include "pim/vcard_cards.h"
#include "pim/vcard_file_property.h"

namespace qx {
namespace {

std::string Data(const std::string& name) { return std::string(QX_SOURCE_DIR) + "/tests/pim/data/" + name; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(at, next - at));
    at = next;
  }
  return lines;
}

// The lines of `text` that are not note lines.
std::vector<std::string> WithoutNotes(const std::string& text) {
  std::vector<std::string> kept;
  for (const std::string& line : Lines(text)) {
    if (line.compare(0, 5, "NOTE;") != 0 && line.compare(0, 5, "note;") != 0 && line.compare(0, 5, "NOTE:") != 0) {
      kept.push_back(line);
    }
  }
  return kept;
}

class ContactRealCardsTest : public test::ContactFolderTest {
 protected:
  void Copy(const std::string& data, const std::string& name) { PutCard(name, ReadFile(Data(data))); }
};

TEST_F(ContactRealCardsTest, CardsOfOtherProgramsAreIndexedReadAndRewrittenInPlace) {
  Copy("eds-photo-1.vcf", "photo.vcf");     // 3.0, base64 photo folded over many lines
  Copy("eds-qp-2.1.vcf", "qp.vcf");         // 2.1, quoted-printable FN
  Copy("rdf-vcard-example.vcf", "rdf.vcf");  // LF only, lower-case keys, two cards
  ASSERT_EQ(ScanContacts(Dir(), false, 0), 1u);
  EXPECT_STREQ(Element("photo.vcf").attribute("FN").value(), "photo");
  EXPECT_STREQ(Element("photo.vcf").attribute("EMAIL_TYPE-WORK").value(), "photo@no.where");
  // PHOTO;TYPE="jpeg";ENCODING=b names no attribute; the lines after it are read.
  EXPECT_STREQ(Element("photo.vcf").attribute("REV").value(), "2017-05-10T14:34:50Z(0)");
  EXPECT_STREQ(Element("qp.vcf").attribute("FN_ENCODING-quoted-printable").value(),
               "ActualValue=20=C4=9B=C5=A1=C4=8D=C5=99=C5=BE=C3=BD=C3=A1=C3=AD=C3=A9=C3=BA=C5=AF"
               "=C3=B3=C3=B6=C4=9A=C5=A0=C4=8C=C5=98=C5=BD=C3=9D=C3=81=C3=8D=C3=89=C3=9A=C5=AE=C3"
               "=93=C3=96=C2=A7=201234567890=201234567890=201234567890=201234567890=201234567890");
  EXPECT_EQ(*Contact_ReadFileProperty(Card("qp.vcf"), "FN_ENCODING-QUOTED-PRINTABLE", 8),
            "ActualValue \xC4\x9B\xC5\xA1\xC4\x8D\xC5\x99\xC5\xBE\xC3\xBD\xC3\xA1\xC3\xAD\xC3\xA9"
            "\xC3\xBA\xC5\xAF\xC3\xB3\xC3\xB6\xC4\x9A\xC5\xA0\xC4\x8C\xC5\x98\xC5\xBD\xC3\x9D\xC3"
            "\x81\xC3\x8D\xC3\x89\xC3\x9A\xC5\xAE\xC3\x93\xC3\x96\xC2\xA7 1234567890 1234567890 "
            "1234567890 1234567890 1234567890");
  EXPECT_EQ(Attributes("rdf.vcf").size(), 4u) << "ID, fn, note;lang=en, MODIFIEDDATE: the second card is not read";

  ASSERT_EQ(StoreFolder_Open("PO", "MB", "Contacts", 1, 1), 1u);
  ASSERT_NE(StoreFolder_SelectItem("photo.vcf"), 0u);
  EXPECT_EQ(Text("PR_GIVEN_NAME"), "photo");
  const std::string photo = Text("PR_ATTACHMENT_CONTACTPHOTO");
  EXPECT_EQ(photo.compare(0, 40, "iVBORw0KGgoAAAANSUhEUgAAAEAAAABACAIAAAAl"), 0) << photo.substr(0, 60);
  EXPECT_EQ(photo.find_first_of(" \r\n"), std::string::npos);
  EXPECT_EQ(photo.size() % 4, 0u);
  ASSERT_NE(StoreFolder_SelectItem("rdf.vcf"), 0u);
  EXPECT_EQ(Text("PR_NOTE"), "This is a test.");

  for (const char* id : {"photo.vcf", "qp.vcf", "rdf.vcf"}) {
    SCOPED_TRACE(id);
    const std::string before = ReadFile(Card(id));
    ASSERT_NE(StoreFolder_SelectItem(id), 0u);
    ASSERT_EQ(StoreItem_SetProperty("", "PR_NOTE", "rewritten"), 1u);
    const std::string after = ReadFile(Card(id));
    EXPECT_EQ(WithoutNotes(after), WithoutNotes(before));
    EXPECT_NE(after.find("NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:rewritten\r\n"), std::string::npos);
    EXPECT_EQ(Text("PR_NOTE"), "rewritten");
  }
}

TEST_F(ContactRealCardsTest, AnAddressBookSplitsIntoItsCardsByteForByte) {
  const std::string book = ReadFile(Data("rolo-contacts.vcf"));
  const VCardCards split = SplitVCardCards(book);
  EXPECT_FALSE(split.unterminated);
  ASSERT_EQ(split.cards.size(), 27u);
  size_t searched = 0;
  for (size_t i = 0; i < split.cards.size(); ++i) {
    const size_t at = book.find(split.cards[i], searched);
    ASSERT_NE(at, std::string::npos) << i;
    searched = at + split.cards[i].size();
    PutCard("c" + std::to_string(100 + i) + ".vcf", std::string(split.cards[i]));
  }
  EXPECT_EQ(book.substr(searched).find_first_not_of("\n"), std::string::npos);
  ASSERT_EQ(ScanContacts(Dir(), false, 0), 1u);
  EXPECT_EQ(Ids().size(), 27u);
  EXPECT_STREQ(Element("c100.vcf").attribute("FN").value(), "Mr. John Q. Public\\, Esq.");
  EXPECT_STREQ(Element("c100.vcf").attribute("EMAIL_TYPE-internet").value(), "jqpublic@xyz.dom1.com");
  // "ADR;TYPE=dom,home,postal,parcel" names no attribute (',' may not stand in
  // an XML name), nor do LABEL and TEL; the other 22 lines, ID and
  // MODIFIEDDATE are there.
  EXPECT_EQ(Attributes("c100.vcf").size(), 2u + 25u - 3u);

  // A card inside a card stays with it, a byte order mark goes, and a card
  // left open is reported.
  const VCardCards nested = SplitVCardCards(
      "\xEF\xBB\xBF" "begin:vcard\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\nEND:VCARD\r\nEND:VCARD \r\n"
      "junk between\r\nBEGIN:VCARD\r\nFN:Open");
  ASSERT_EQ(nested.cards.size(), 1u);
  EXPECT_EQ(nested.cards[0], "begin:vcard\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\nEND:VCARD\r\nEND:VCARD \r\n");
  EXPECT_TRUE(nested.unterminated);
}

}  // namespace
}  // namespace qx
