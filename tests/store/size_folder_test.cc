#include <cstring>
#include <string>
#include <vector>

#include "support/folder_test_fixture.h"
#include "frame/registry_readers.h"
#include "qxstore.h"
#include "store/size_settings.h"

namespace qx {
namespace {

std::string IndexOf(const std::vector<int>& sizes) {
  std::string text = "<?xml version=\"1.0\"?><BASEELEMENT><LASTUID>9</LASTUID>";
  int id = 0;
  for (int size : sizes) {
    ++id;
    text += "<ELEMENT ID=\"m" + std::to_string(id) + ".MAI\" UID=\"" + std::to_string(id) +
            "\"><SUBJECT>s</SUBJECT><SIZE>" + std::to_string(size) + "</SIZE></ELEMENT>";
  }
  return text + "</BASEELEMENT>";
}

class FolderSizeTest : public test::FolderTest {
 protected:
  void Folder(const std::string& relative, const std::vector<int>& sizes) {
    MakeDirs(MailboxDir() + relative);
    WriteFile(MailboxDir() + relative + "/_index.xml", IndexOf(sizes));
  }
};

TEST_F(FolderSizeTest, FolderWithTwoSubfoldersSumsAllThreeIndexes) {
  Folder("/Projects", {100, 250});
  Folder("/Projects/Alpha", {4000});
  Folder("/Projects/Beta", {7, 8, 9});
  Folder("/Inbox", {1000000});  // beside, not below

  STOREFOLDER record = Record("\\Projects", "");
  record.size = 12345;
  EXPECT_EQ(StoreFolderGetSize(&record), 1u);
  EXPECT_EQ(record.size, 100u + 250 + 4000 + 7 + 8 + 9);

  // A folder whose index does not load counts as 0; the others still add up.
  WriteFile(MailboxDir() + "/Projects/Beta/_index.xml", "<BASEELEMENT><ELEMENT>");
  EXPECT_EQ(StoreFolderGet(&record), 1u);
  EXPECT_EQ(record.size, 100u + 250 + 4000);

  // The mailbox's top folder takes in every folder, nested ones included.
  record = Record("/", "");
  EXPECT_EQ(StoreFolderGetSize(&record), 1u);
  EXPECT_EQ(record.size, 1000000u + 100 + 250 + 4000);
}

TEST_F(FolderSizeTest, WholeMailboxFromFolderIndexesInCalcModeOne) {
  registry().SetDword(test::kLibraryRootKey, "Mailbox Size Calc Mode", 1);
  registry().SetDword(
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\CONNECTORS\\SF",
      "Quota Enumeration Mode", 1);
  ReloadLibrary();
  ForgetSizeSettings();
  Folder("/Inbox", {2048, 1024});
  Folder("/Inbox/Sub", {5120});
  WriteFile(MailboxDir() + "/Inbox/unindexed.MAI", std::string(50000, 'x'));  // not counted

  MAILBOXSIZE mailbox{};
  std::strcpy(mailbox.postoffice, "PO");
  std::strcpy(mailbox.mailbox, "MB");
  mailbox.enabled = 1;
  EXPECT_EQ(GetMailboxSize(&mailbox), 1u);
  EXPECT_EQ(mailbox.size_kb, 8u);
  EXPECT_EQ(ReadFile(MailboxDir() + "/_DIRSIZE.TMP"), "8");
}

}  // namespace
}  // namespace qx
