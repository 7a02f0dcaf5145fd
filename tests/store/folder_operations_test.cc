// Removing, renaming and copying folders: what happens to the directory
// trees, the child lists, the size cache and the folder's shares.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "qxstore.h"
#include "support/folder_test_fixture.h"

namespace qx {
namespace {

using Names = std::vector<std::string>;
constexpr const char* kMessageA = "Subject: a\r\n\r\nbody a";
constexpr const char* kMessageB = "Subject: b\r\n\r\nbody b";

class FolderOperationsTest : public test::FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    MakeDirs(MailboxDir() + "/Inbox/Projects/2024");
    WriteFile(MailboxDir() + "/Inbox/Projects/A.MAI", kMessageA);
    WriteFile(MailboxDir() + "/Inbox/Projects/2024/B.MAI", kMessageB);
    WriteFile(MailboxDir() + "/_DIRSIZE.TMP", "42");
  }
  void TearDown() override {
    platform::ClearFaults();
    FolderTest::TearDown();
  }
};

TEST_F(FolderOperationsTest, RemoveDeletesTheTreeMarksTheParentDropsTheSizeCacheAndTheShare) {
  const std::string config = root() + "/config";
  registry().SetString(test::kLibraryRootKey, "Configuration Directory", config);
  registry().Save();
  WriteFile(
      MailboxDir() + "/_Shares.xml",
      "<SHARES><SHARE><DESCRIPTION>p</DESCRIPTION><RESOURCE>/Inbox/Projects</RESOURCE></SHARE>"
      "<SHARE><DESCRIPTION>i</DESCRIPTION><RESOURCE>/Inbox</RESOURCE></SHARE></SHARES>");
  WriteFile(MailboxDir() + "/Inbox/Projects/_Access.XML",
            "<LIST><ITEM USER=\"PO/anne\"><ACL>rw</ACL></ITEM></LIST>");
  const std::string security = config + "/Postoffices/PO/Security/anne.xml";
  WriteFile(security, "<LIST><ITEM URI=\"SF:PO/MB/Inbox/Projects\"><ACL>rw</ACL></ITEM></LIST>");
  EXPECT_EQ(Children("Inbox"), Names{"Projects"});

  STOREFOLDER projects = Record("Inbox\\", "Projects");
  EXPECT_EQ(StoreFolderRemove(&projects), 1u);
  EXPECT_FALSE(Exists(MailboxDir() + "/Inbox/Projects"));
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/_folder.dty"), "DIRTY");
  EXPECT_FALSE(Exists(MailboxDir() + "/_DIRSIZE.TMP"));
  EXPECT_TRUE(Children("Inbox").empty());
  EXPECT_EQ(
      ReadFile(MailboxDir() + "/_Shares.xml"),
      "<SHARES><SHARE><DESCRIPTION>i</DESCRIPTION><RESOURCE>/Inbox</RESOURCE></SHARE></SHARES>");
  EXPECT_FALSE(Exists(security));
  EXPECT_EQ(StoreFolderRemove(&projects), 0u);
}

TEST_F(FolderOperationsTest, RemoveUnderThePublicRootIsRefusedAndOneThatCannotFinishFails) {
  MakeDirs(mail_root() + "/PO/PUBROOT/Sales/Leads");
  for (const char* parent : {"Public", "\\Public", "/PUBLIC"}) {
    STOREFOLDER sales = Record(parent, "Sales");
    EXPECT_EQ(StoreFolderRemove(&sales), 0u) << parent;
  }
  EXPECT_TRUE(IsDirectory(mail_root() + "/PO/PUBROOT/Sales"));
  // No mailbox and no names: the record names MAILROOT, every mailbox.
  for (const char* parent : {"\\", ""}) {
    STOREFOLDER everything = Record(parent, "");
    std::strcpy(everything.mailbox, "");
    EXPECT_EQ(StoreFolderRemove(&everything), 0u) << parent;
  }
  EXPECT_TRUE(IsDirectory(MailboxDir()));
  STOREFOLDER leads = Record("Public/Sales", "Leads");
  EXPECT_EQ(StoreFolderRemove(&leads), 1u);
  EXPECT_FALSE(Exists(mail_root() + "/PO/PUBROOT/Sales/Leads"));

  platform::InjectFault(platform::FaultOp::kDelete, "B.MAI", platform::kErrorSharingViolation, -1);
  STOREFOLDER projects = Record("Inbox", "Projects");
  EXPECT_EQ(StoreFolderRemove(&projects), 0u);
  platform::ClearFaults();
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/Projects/2024/B.MAI"), kMessageB);
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/_folder.dty"), "DIRTY");
  EXPECT_EQ(StoreFolderRemove(&projects), 1u);
}

TEST_F(FolderOperationsTest, EditRenamesAndMovesWholeTrees) {
  STOREFOLDER from = Record("Inbox", "Projects");
  STOREFOLDER to = Record("Inbox", "Archive");
  EXPECT_EQ(StoreFolderEdit(&from, &to), 1u);
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/Archive/2024/B.MAI"), kMessageB);
  EXPECT_FALSE(Exists(MailboxDir() + "/Inbox/Projects"));
  EXPECT_EQ(Children("Inbox"), Names{"Archive"});

  // Up to the top level under a well-known name: canonicalised, both marked.
  Children("\\");
  STOREFOLDER drafts = Record("/", "drafts");
  EXPECT_EQ(StoreFolderEdit(&to, &drafts), 1u);
  EXPECT_STREQ(drafts.name, "Drafts");
  EXPECT_EQ(ReadFile(MailboxDir() + "/Drafts/A.MAI"), kMessageA);
  EXPECT_EQ(ReadFile(MailboxDir() + "/_folder.dty"), "DIRTY");
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/_folder.dty"), "DIRTY");
  EXPECT_EQ(Children("\\"), (Names{"Drafts", "Inbox"}));
}

TEST_F(FolderOperationsTest, EditNeverOverwritesSwallowsItselfOrTouchesThePublicRoot) {
  MakeDirs(MailboxDir() + "/Inbox/Other");
  WriteFile(MailboxDir() + "/Inbox/Other/C.MAI", "c");
  STOREFOLDER projects = Record("Inbox", "Projects");
  STOREFOLDER other = Record("Inbox", "Other");
  EXPECT_EQ(StoreFolderEdit(&projects, &other), 0u);
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/Other/C.MAI"), "c");
  EXPECT_TRUE(Exists(MailboxDir() + "/Inbox/Projects/A.MAI"));
  STOREFOLDER inside = Record("Inbox/Projects/2024", "Moved");
  EXPECT_EQ(StoreFolderEdit(&projects, &inside), 0u);
  EXPECT_FALSE(Exists(MailboxDir() + "/Inbox/Projects/2024/Moved"));

  MakeDirs(mail_root() + "/PO/PUBROOT/Sales");
  STOREFOLDER sales = Record("Public", "Sales");
  STOREFOLDER mine = Record("\\", "Sales");
  EXPECT_EQ(StoreFolderEdit(&sales, &mine), 0u);
  EXPECT_EQ(StoreFolderEdit(&projects, &sales), 0u);
  EXPECT_TRUE(IsDirectory(mail_root() + "/PO/PUBROOT/Sales"));
  EXPECT_FALSE(Exists(MailboxDir() + "/Sales"));
}

TEST_F(FolderOperationsTest, CopyDuplicatesTheTreeButNeverIntoItself) {
  STOREFOLDER projects = Record("Inbox", "Projects");
  STOREFOLDER backup = Record("\\", "sent ITEMS");
  EXPECT_EQ(StoreFolderCopy(&projects, &backup), 1u);
  EXPECT_STREQ(backup.name, "Sent Items");
  EXPECT_EQ(ReadFile(MailboxDir() + "/Sent Items/A.MAI"), kMessageA);
  EXPECT_EQ(ReadFile(MailboxDir() + "/Sent Items/2024/B.MAI"), kMessageB);
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/Projects/A.MAI"), kMessageA);
  EXPECT_EQ(Children("/"), (Names{"Inbox", "Sent Items"}));

  STOREFOLDER inside = Record("Inbox/PROJECTS", "Copy");
  EXPECT_EQ(StoreFolderCopy(&projects, &inside), 0u);
  EXPECT_FALSE(Exists(MailboxDir() + "/Inbox/Projects/Copy"));
  STOREFOLDER same = Record("Inbox", "projects");
  EXPECT_EQ(StoreFolderCopy(&projects, &same), 0u);
}

}  // namespace
}  // namespace qx
