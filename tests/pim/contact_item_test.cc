// Contact items through the exported store-item interface: properties read
// through the contact map, structured fields and birthdays written, the
// note and photo lines rewritten in place, contacts saved, created, opened
// alone and deleted, and contact folders rescanned by the legacy
// enumeration.

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "contact_folder_fixture.h"
#include "pim/contact_birthday.h"
#include "pim/contact_scan.h"

namespace qx {
namespace {

constexpr const char* kSmith =
    "BEGIN:VCARD\r\n"
    "VERSION:2.1\r\n"
    "N:Smith;John;Quincy;Dr.\r\n"
    "FN:John Smith\r\n"
    "ORG:Acme;Sales\r\n"
    "EMAIL;PREF;INTERNET:john@example.org\r\n"
    "TEL;HOME;VOICE:123\r\n"
    "ADR;WORK:;;Main St\r\n"
    "IM;TYPE=ICQ:4711\r\n"
    "BDAY:1970-01-02T03:04:05\r\n"
    "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9 at 9=3B bring=\r\n"
    "s cake\r\n"
    "PHOTO;TYPE=JPEG;ENCODING=BASE64:\r\n"
    "  QUJD\r\n"
    "  REVG\r\n"
    "\r\n"
    "REV:20110301T120000Z\r\n"
    "END:VCARD\r\n";

constexpr const char* kPlain =
    "BEGIN:VCARD\n"
    "VERSION:3.0\n"
    "FN:Ann Plain\n"
    "NOTE:old note\n"
    "BDAY:\n"
    "END:VCARD\n"
    "X-AFTER:kept\n";

uint64_t FileTimeOf(const FILETIME& time) {
  return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

class ContactItemTest : public test::ContactFolderTest {
 protected:
  void OpenOn(const char* id) {
    ASSERT_EQ(StoreFolder_Open("PO", "MB", "Contacts", 1, 1), 1u);
    ASSERT_NE(StoreFolder_SelectItem(id), 0u) << id;
  }

  static uint32_t SetText(const char* name, const char* value) {
    return StoreItem_SetProperty("", name, value);
  }
};

TEST_F(ContactItemTest, PropertiesAreReadThroughTheContactMap) {
  PutCard("smith.vcf", kSmith);
  PutCard("plain.vcf", kPlain);
  OpenOn("smith.vcf");
  EXPECT_EQ(Text("QX_ITEM_ID"), "smith.vcf");
  EXPECT_EQ(Text("PR_SURNAME"), "Smith");
  EXPECT_EQ(Text("PR_GIVEN_NAME"), "John");
  EXPECT_EQ(Text("pr_middle_name"), "Quincy");
  EXPECT_EQ(Text("PR_DISPLAY_NAME_PREFIX"), "Dr.");
  EXPECT_EQ(Text("PR_SUBJECT"), "John Smith");
  EXPECT_EQ(Text("PR_COMPANY_NAME"), "Acme");
  EXPECT_EQ(Text("PR_DEPARTMENT_NAME"), "Sales");
  EXPECT_EQ(Text("PR_EMAIL_ADDRESS"), "john@example.org");
  EXPECT_EQ(Text("PR_HOME_TELEPHONE_NUMBER"), "123");
  EXPECT_EQ(Text("PR_STREET_ADDRESS"), "Main St");
  EXPECT_EQ(Text("PR_LOCALITY"), "");
  EXPECT_EQ(Text("PR_ICQ"), "4711");
  EXPECT_EQ(Text("PR_AIM"), "<-1>");
  EXPECT_EQ(Text("PR_NO_SUCH_THING"), "<0>");
  EXPECT_EQ(Text("QX_MAILBOX"), "MB");
  // File-only: the note decoded (its soft break joined; as other programs
  // read it, up to the ';' it holds), the photo unfolded, the whole card.
  EXPECT_EQ(Text("PR_NOTE"), "Caf\xC3\xA9 at 9");
  EXPECT_EQ(Text("PR_NOTE_UNICODE"), "Caf=C3=A9 at 9=3B brings cake");
  EXPECT_EQ(Text("PR_ATTACHMENT_CONTACTPHOTO"), "QUJDREVG");
  EXPECT_EQ(Text("PR_BNP_VCARD"), kSmith);
  FILETIME birthday{};
  ASSERT_TRUE(Value("PR_BIRTHDAY", &birthday));
  EXPECT_EQ(FileTimeOf(birthday), (11644473600ULL + 97445ULL) * 10000000ULL);
  int32_t modified = 0;
  EXPECT_TRUE(Value("QX_MODIFIED_DATE", &modified));
  EXPECT_NE(modified, 0);
  EXPECT_EQ(StoreItemProperty_GetType("PR_BIRTHDAY", 1), 3u);
  EXPECT_EQ(StoreItemProperty_GetType("PR_NOTE_UNICODE", 1), 14u);

  ASSERT_NE(StoreFolder_SelectItem("plain.vcf"), 0u);
  ASSERT_TRUE(Value("PR_BIRTHDAY", &birthday));
  EXPECT_EQ(FileTimeOf(birthday), kNoBirthdayFileTime);
  EXPECT_EQ(Text("PR_NOTE"), "old note");
  EXPECT_EQ(Text("PR_ATTACHMENT_CONTACTPHOTO"), "");
}

TEST_F(ContactItemTest, IndexedPropertiesAreWrittenBackAsAVCardAtSave) {
  PutCard("smith.vcf", kSmith);
  OpenOn("smith.vcf");
  EXPECT_EQ(SetText("PR_LOCALITY", "NewTown"), 1u);
  EXPECT_EQ(SetText("PR_COUNTRY", "Utopia"), 1u);
  EXPECT_EQ(SetText("PR_SURNAME", "Doe;Smith"), 1u);
  EXPECT_EQ(SetText("PR_BUSINESS_FAX_NUMBER", "Fax\r\nEMAIL:evil"), 1u);
  EXPECT_EQ(SetText("PR_ICQ", "9"), 1u);
  const FILETIME no_birthday{static_cast<uint32_t>(kNoBirthdayFileTime),
                             static_cast<uint32_t>(kNoBirthdayFileTime >> 32)};
  EXPECT_EQ(StoreItem_SetProperty("", "PR_BIRTHDAY", &no_birthday), 1u);
  EXPECT_EQ(Text("PR_COUNTRY"), "Utopia");
  EXPECT_EQ(ReadFile(Card("smith.vcf")), kSmith) << "nothing is written before the save";

  ASSERT_EQ(StoreFolder_Save(0), 1u);
  const std::string saved = ReadFile(Card("smith.vcf"));
  EXPECT_EQ(saved,
            "BEGIN:VCARD\r\n"
            "VERSION:2.1\r\n"
            "ID:smith.vcf\r\n"
            "N:Doe_Smith;John;Quincy;Dr.\r\n"
            "FN:John Smith\r\n"
            "ORG:Acme;Sales\r\n"
            "EMAIL;PREF;INTERNET:john@example.org\r\n"
            "TEL;HOME;VOICE:123\r\n"
            "ADR;WORK:;;Main St;NewTown;;;Utopia\r\n"
            "IM;TYPE=ICQ:9\r\n"
            "BDAY:\r\n"
            "TEL;WORK;FAX:Fax  EMAIL:evil\r\n"
            "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9=20at=209;=20brings=20cake\r\n"
            "PHOTO;TYPE=JPEG;ENCODING=BASE64:\r\n  QUJD\r\n  REVG\r\n\r\n"
            "REV:20110301T120000Z\r\n"
            "END:VCARD\r\n");
  EXPECT_FALSE(Exists(Card("_smith.vcf")));

  // What was saved reads back the same after the next scan.
  ASSERT_EQ(StoreFolder_Close(), 1u);
  ASSERT_EQ(ScanContacts(Dir(), false, 0), 1u);
  OpenOn("smith.vcf");
  EXPECT_EQ(Text("PR_LOCALITY"), "NewTown");
  EXPECT_EQ(Text("PR_SURNAME"), "Doe_Smith");
  FILETIME birthday{};
  ASSERT_TRUE(Value("PR_BIRTHDAY", &birthday));
  EXPECT_EQ(FileTimeOf(birthday), kNoBirthdayFileTime);
  const uint64_t date = (11644473600ULL + 86400ULL * 365) * 10000000ULL;
  const FILETIME set{static_cast<uint32_t>(date), static_cast<uint32_t>(date >> 32)};
  EXPECT_EQ(StoreItem_SetProperty("", "PR_BIRTHDAY", &set), 1u);
  EXPECT_STREQ(Element("smith.vcf").attribute("BDAY").value(), "");
  ASSERT_EQ(StoreFolder_Save(0), 1u);
  EXPECT_STREQ(Element("smith.vcf").attribute("BDAY").value(), "1971-01-01T00:00:00");
}

TEST_F(ContactItemTest, NoteAndPhotoReplaceTheirLinesAndKeepEveryOtherByte) {
  PutCard("smith.vcf", kSmith);
  PutCard("plain.vcf", kPlain);
  OpenOn("smith.vcf");
  EXPECT_EQ(SetText("PR_NOTE", "=?UTF-8?Q?Hi=20there?="), 1u);
  EXPECT_EQ(SetText("PR_ATTACHMENT_CONTACTPHOTO", "WFla\r\n  WlpA"), 1u);
  std::string expected = kSmith;
  expected.replace(expected.find("NOTE;"), expected.find("PHOTO;") - expected.find("NOTE;"),
                   "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Hi=20there\r\n");
  expected.replace(expected.find("PHOTO;"), expected.find("\r\n\r\nREV") + 2 - expected.find("PHOTO;"),
                   "PHOTO;TYPE=JPEG;ENCODING=BASE64:WFlaWlpA\r\n");
  EXPECT_EQ(ReadFile(Card("smith.vcf")), expected);
  EXPECT_EQ(Text("PR_NOTE"), "Hi there");
  EXPECT_EQ(Text("PR_ATTACHMENT_CONTACTPHOTO"), "WFlaWlpA");
  EXPECT_FALSE(Exists(Card("_smith.vcf")));

  // A 3.0 card's own note is the one replaced; a card without a photo gets
  // one before END:VCARD; the rest stays, LF line ends and the text after
  // the card included.
  ASSERT_NE(StoreFolder_SelectItem("plain.vcf"), 0u);
  EXPECT_EQ(SetText("PR_NOTE", "caf\xC3\xA9 = 100%\r\nline two"), 1u);
  EXPECT_EQ(SetText("PR_ATTACHMENT_CONTACTPHOTO", "QUJD"), 1u);
  EXPECT_EQ(ReadFile(Card("plain.vcf")),
            "BEGIN:VCARD\nVERSION:3.0\nFN:Ann Plain\n"
            "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:caf=C3=A9=20=3D=20100%=0D=0Aline=20two\r\n"
            "BDAY:\n"
            "PHOTO;TYPE=JPEG;ENCODING=BASE64:QUJD\r\n"
            "END:VCARD\nX-AFTER:kept\n");
  EXPECT_EQ(Text("PR_NOTE"), "caf\xC3\xA9 = 100%\r\nline two");
  EXPECT_EQ(SetText("PR_NOTE_UNICODE", "raw=20note"), 1u);
  EXPECT_EQ(Text("PR_NOTE_UNICODE"), "raw=20note");
  EXPECT_EQ(SetText("PR_BNP_VCARD", "BEGIN:VCARD"), 1u);
  EXPECT_EQ(ReadFile(Card("plain.vcf")).find("BEGIN:VCARD\r\n"), std::string::npos);

  // The save keeps the note and photo the file has now.
  ASSERT_EQ(StoreFolder_Save(0), 1u);
  EXPECT_EQ(SetText("PR_TITLE", "Boss"), 1u);
  ASSERT_EQ(StoreFolder_Save(0), 1u);
  const std::string saved = ReadFile(Card("plain.vcf"));
  EXPECT_NE(saved.find("NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:raw=20note\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("PHOTO;TYPE=JPEG;ENCODING=BASE64:QUJD\r\n\r\nREV:\r\nEND:VCARD\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("TITLE:Boss\r\n"), std::string::npos) << saved;
}

TEST_F(ContactItemTest, ContactsAreCreatedOpenedAloneAndDeletedAsFiles) {
  PutCard("smith.vcf", kSmith);
  ASSERT_EQ(StoreFolder_Open("PO", "MB", "Contacts", 1, 1), 1u);
  ASSERT_EQ(StoreFolder_CreateItem("new.vcf"), 1u);
  EXPECT_EQ(SetText("PR_DISPLAY_NAME", "Newcomer"), 1u);
  EXPECT_EQ(SetText("PR_NOTE", "first note"), 1u);
  ASSERT_EQ(StoreFolder_Save(0), 1u);
  EXPECT_EQ(ReadFile(Card("new.vcf")),
            "BEGIN:VCARD\r\nVERSION:2.1\r\nID:new.vcf\r\nFN:Newcomer\r\n"
            "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:first=20note\r\nREV:\r\nEND:VCARD\r\n");
  EXPECT_EQ(StoreFolder_CreateItem("../escape.vcf"), 0u);
  EXPECT_EQ(StoreFolder_DeleteItem("smith.vcf"), 1u);
  EXPECT_FALSE(Exists(Card("smith.vcf")));
  ASSERT_EQ(StoreFolder_Close(), 1u);

  ASSERT_EQ(StoreFolder_OpenItem("PO", "MB", "Contacts", "new.vcf", 1), 1u);
  EXPECT_EQ(Text("PR_DISPLAY_NAME"), "Newcomer");
  EXPECT_EQ(SetText("PR_TITLE", "Boss"), 1u);
  EXPECT_EQ(SetText("PR_COUNTRY", "Utopia"), 1u);
  ASSERT_EQ(StoreItem_SaveToStore(), 1u);
  EXPECT_NE(ReadFile(Card("new.vcf")).find("TITLE:Boss\r\n"), std::string::npos);
  EXPECT_NE(ReadFile(Card("new.vcf")).find("ADR;WORK:;;;;;;Utopia\r\n"), std::string::npos)
      << "a component of an address the card lacks comes after six separators";
  EXPECT_EQ(StoreFolder_OpenItem("PO", "MB", "Contacts", "gone.vcf", 1), 0u);
  EXPECT_EQ(StoreFolder_OpenItem("PO", "MB", "Contacts", "..\\Inbox\\x.vcf", 1), 0u);
}

TEST_F(ContactItemTest, ContactFoldersAreRescannedWhereTheStoreRescansThem) {
  // The legacy enumeration rebuilds a contact folder from its cards.
  PutCard("smith.vcf", kSmith);
  MESSAGELISTRECORD list{};
  std::strcpy(list.folder, "\\Contacts");
  std::strcpy(list.postoffice, "PO");
  std::strcpy(list.mailbox, "MB");
  list.rescan = 1;
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(&list, &item), 1u);
  EXPECT_STREQ(item.id, "smith.vcf");
  EXPECT_NE(std::string(item.xml).find("TEL_HOME_VOICE=\"123\""), std::string::npos) << item.xml;
  EXPECT_EQ(MessageItemFindNext(&list, &item), 0u);
  MessageItemFindClose(&list);

  // An index object of a contact folder gets its document through the
  // contact index: a folder marked changed is scanned first and its index
  // file stamped with the time of the scan.
  PutCard("new.vcf", "BEGIN:VCARD\r\nFN:New\r\nEND:VCARD\r\n");
  WriteFile(Card("_CHANGE.DTY"), "changed");
  StoreIndex index;
  ASSERT_EQ(StoreIndex_Init(&index), 1u);
  std::strcpy(index.postoffice, "PO");
  std::strcpy(index.mailbox, "MB");
  std::strcpy(index.folder, "Contacts");
  index.folder_type = 1;
  ASSERT_EQ(StoreIndex_SetPaths(&index), 1u);
  ASSERT_EQ(StoreIndex_Get(&index), 1u);
  ASSERT_NE(index.folder_index, 0u);
  EXPECT_FALSE(Exists(Card("_CHANGE.DTY")));
  EXPECT_EQ(Ids(), (std::vector<std::string>{"new.vcf", "smith.vcf"}));
  struct stat info {};
  ASSERT_EQ(stat(IndexFile().c_str(), &info), 0);
  EXPECT_EQ(static_cast<uint64_t>(info.st_mtime), clock().NowFileTime() / 10000000ULL - 11644473600ULL);
  EXPECT_EQ(StoreIndex_Release(&index), 1u);

  // A folder of the postoffice's contact store marked changed is scanned
  // for its cards at the next open, and its contacts are written back.
  const std::string work = mail_root() + "/PO/VCFROOT/Work";
  WriteFile(work + "/w.vcf", "BEGIN:VCARD\r\nFN:Worker\r\nEND:VCARD\r\n");
  WriteFile(work + "/_CHANGE.DTY", "changed");
  ASSERT_EQ(StoreFolder_Open("PO", "MB", "$VCFROOT/Work", 1, 1), 1u);
  ASSERT_EQ(StoreFolder_FindFirstItem(), 1u);
  EXPECT_EQ(Text("PR_DISPLAY_NAME"), "Worker");
  EXPECT_EQ(SetText("PR_TITLE", "Boss"), 1u);
  ASSERT_EQ(StoreFolder_Save(0), 1u);
  EXPECT_NE(ReadFile(work + "/w.vcf").find("TITLE:Boss\r\n"), std::string::npos);
  EXPECT_FALSE(Exists(work + "/_CHANGE.DTY"));
}

}  // namespace
}  // namespace qx
