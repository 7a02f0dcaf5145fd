// Withdrawing shares: the share list, the shared folder's access list and
// the grantees' security files, as each is left on disk.

#include "shares/share_remove.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "qxstore.h"
#include "shares/security_files.h"
#include "shares/share_documents.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::kLibraryRootKey;

std::string Share(const std::string& resource) {
  return "<SHARE><DESCRIPTION>d</DESCRIPTION><RESOURCE>" + resource + "</RESOURCE></SHARE>";
}

std::string Item(const std::string& attribute, const std::string& value) {
  return "<ITEM " + attribute + "=\"" + value + "\"><ACL>rw</ACL></ITEM>";
}

class ShareRemoveTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    registry().SetString(kLibraryRootKey, "Configuration Directory", Config());
    registry().Save();
  }

  std::string Config() const { return root() + "/config"; }
  std::string Mailbox() const { return mail_root() + "/PO/MAILROOT/sales"; }
  std::string ShareList() const { return Mailbox() + "/_Shares.xml"; }
  std::string Security(const std::string& name) const {
    return Config() + "/Postoffices/PO/Security/" + name + ".xml";
  }

  uint32_t Remove(const char* resource, uint32_t remove_access = 1) {
    std::strcpy(buffer_, resource);
    return Share_Remove(buffer_, sizeof buffer_, remove_access, "sales", "PO");
  }

  char buffer_[kShareResourceSize] = {};
};

TEST_F(ShareRemoveTest, RemovingTheOnlyShareLeavesNothingBehind) {
  WriteFile(ShareList(), "<SHARES>" + Share("/Inbox/Projects") + "</SHARES>");
  const std::string access = Mailbox() + "/Inbox/Projects/_Access.XML";
  WriteFile(access, "<LIST>" + Item("USER", "PO/anne") + Item("USER", "PO/{$EVERYONE}") +
                        Item("USER", "PO/bob") + "</LIST>");
  WriteFile(Security("anne"), "<LIST>" + Item("URI", "SF:PO/sales/Inbox/Projects") + "</LIST>");
  const std::string other = Item("URI", "SF:PO/other/Inbox");
  WriteFile(Security("{$EVERYONE}"),
            "<LIST>" + other + Item("URI", "SF:PO/sales/Inbox/Projects") + "</LIST>");
  // bob has no security file: skipped.

  EXPECT_EQ(RemoveMailboxShares("sales", "PO"), 1u);
  EXPECT_FALSE(Exists(ShareList()));
  EXPECT_FALSE(Exists(access));
  EXPECT_TRUE(Exists(Mailbox() + "/Inbox/Projects"));
  EXPECT_FALSE(Exists(Security("anne")));
  EXPECT_EQ(ReadFile(Security("{$EVERYONE}")), "<LIST>" + other + "</LIST>");
  EXPECT_FALSE(Exists(Security("bob")));
}

TEST_F(ShareRemoveTest, ResourceIsNormalisedInPlaceAndMatchedExactly) {
  WriteFile(ShareList(), "<SHARES>" + Share("/Inbox") + Share("/Inbox/Projects") + "</SHARES>");
  WriteFile(Mailbox() + "/Inbox/Projects/_Access.XML", "<LIST></LIST>");
  EXPECT_EQ(Remove("Inbox\\Projects"), 1u);
  EXPECT_STREQ(buffer_, "/Inbox/Projects");
  EXPECT_EQ(ReadFile(ShareList()), "<SHARES>" + Share("/Inbox") + "</SHARES>");
  EXPECT_FALSE(Exists(Mailbox() + "/Inbox/Projects/_Access.XML"));

  // Not listed (case matters in the list): nothing changes.
  EXPECT_EQ(Remove("/INBOX"), 0u);
  EXPECT_EQ(Remove("/Inbox'] | //SHARE[RESOURCE='/Inbox"), 0u);
  EXPECT_EQ(ReadFile(ShareList()), "<SHARES>" + Share("/Inbox") + "</SHARES>");

  WriteFile(ShareList(), "<SHARES>" + Share("/it's \"quoted\"") + "</SHARES>");
  EXPECT_EQ(Remove("/it's \"quoted\"", 0), 1u);
  EXPECT_FALSE(Exists(ShareList()));

  // A buffer too small for the leading '/' keeps what fits.
  char small[4] = "abc";
  EXPECT_EQ(Share_Remove(small, sizeof small, 1, "sales", "PO"), 0u);
  EXPECT_STREQ(small, "/ab");
}

TEST_F(ShareRemoveTest, FileStoreSharesUseTheFileRootAndTheirOwnKey) {
  EXPECT_EQ(ShareKey("PO", "sales", "/$FILEROOT/Docs"), "SF:PO/sales/$FILEROOT/Docs");
  WriteFile(ShareList(), "<SHARES>" + Share("/$FILEROOT/Docs") + "</SHARES>");
  const std::string access = mail_root() + "/PO/FILEROOT/sales/Docs/_Access.XML";
  WriteFile(access, "<LIST>" + Item("USER", "PO/anne") + "</LIST>");
  WriteFile(Security("anne"), "<LIST>" + Item("URI", "SF:PO/sales/$FILEROOT/Docs") +
                                  Item("URI", "SF:PO/sales/$FILEROOT") + "</LIST>");
  EXPECT_EQ(Remove("\\$fileroot\\Docs"), 0u);  // the list holds "$FILEROOT"
  EXPECT_EQ(Remove("$FILEROOT/Docs"), 1u);
  EXPECT_FALSE(Exists(access));
  EXPECT_EQ(ReadFile(Security("anne")),
            "<LIST>" + Item("URI", "SF:PO/sales/$FILEROOT") + "</LIST>");
}

TEST_F(ShareRemoveTest, MissingAccessListStillRemovesTheShareEntry) {
  WriteFile(ShareList(), "<SHARES>" + Share("/Inbox") + Share("/Notes") + "</SHARES>");
  WriteFile(Security("anne"), "<LIST>" + Item("URI", "SF:PO/sales/Inbox") + "</LIST>");
  EXPECT_EQ(Remove("/Inbox"), 0u);
  EXPECT_EQ(ReadFile(ShareList()), "<SHARES>" + Share("/Notes") + "</SHARES>");
  EXPECT_TRUE(Exists(Security("anne")));

  // Without the access part the access list is not even looked at.
  WriteFile(Mailbox() + "/Notes/_Access.XML", "<LIST>" + Item("USER", "PO/anne") + "</LIST>");
  EXPECT_EQ(Remove("/Notes", 0), 1u);
  EXPECT_FALSE(Exists(ShareList()));
  EXPECT_TRUE(Exists(Mailbox() + "/Notes/_Access.XML"));
}

TEST_F(ShareRemoveTest, WithoutAShareListNothingChanges) {
  WriteFile(Security("anne"), "<LIST>" + Item("URI", "SF:PO/sales/Inbox") + "</LIST>");
  EXPECT_EQ(RemoveMailboxShares("sales", "PO"), 0u);
  EXPECT_EQ(Remove("/Inbox"), 0u);
  EXPECT_TRUE(Exists(Security("anne")));
  EXPECT_EQ(RemoveMailboxShares(nullptr, "PO"), 0u);

  WriteFile(ShareList(), "<SHARES></SHARES>");
  EXPECT_EQ(RemoveMailboxShares("sales", "PO"), 1u);
  WriteFile(ShareList(), "<SHARES><SHARE>");
  EXPECT_EQ(RemoveMailboxShares("sales", "PO"), 0u);
  EXPECT_EQ(ReadFile(ShareList()), "<SHARES><SHARE>");
}

TEST_F(ShareRemoveTest, EveryShareOfAMailboxIsWithdrawn) {
  WriteFile(ShareList(), "<SHARES>" + Share("/Inbox") + Share("/Inbox/Projects") +
                             Share("/Calendar") + "</SHARES>");
  for (const char* folder : {"/Inbox", "/Inbox/Projects", "/Calendar"}) {
    WriteFile(Mailbox() + folder + "/_Access.XML", "<LIST>" + Item("USER", "PO/anne") + "</LIST>");
  }
  WriteFile(Security("anne"), "<LIST>" + Item("URI", "SF:PO/sales/Inbox") +
                                  Item("URI", "SF:PO/sales/Calendar") +
                                  Item("URI", "SF:PO/sales/Inbox/Projects") + "</LIST>");
  EXPECT_EQ(RemoveMailboxShares("sales", "PO"), 1u);
  EXPECT_FALSE(Exists(ShareList()));
  EXPECT_FALSE(Exists(Security("anne")));
  for (const char* folder : {"/Inbox", "/Inbox/Projects", "/Calendar"}) {
    EXPECT_FALSE(Exists(Mailbox() + folder + "/_Access.XML")) << folder;
  }
}

TEST_F(ShareRemoveTest, GranteeNamesNeverReachOutsideTheSecurityDirectory) {
  EXPECT_EQ(GranteeMailboxName("PO/anne"), "anne");
  EXPECT_EQ(GranteeMailboxName("anne"), "anne");
  EXPECT_EQ(SecurityFilePath("PO/../../x", "PO"), "");
  EXPECT_EQ(SecurityFilePath("PO/a/b", "PO"), "");
  EXPECT_EQ(SecurityFilePath("PO/anne", ".."), "");
  WriteFile(Config() + "/Postoffices/x.xml",
            "<LIST>" + Item("URI", "SF:PO/sales/Inbox") + "</LIST>");
  WriteFile(ShareList(), "<SHARES>" + Share("/Inbox") + "</SHARES>");
  WriteFile(Mailbox() + "/Inbox/_Access.XML", "<LIST>" + Item("USER", "PO/../x") + "</LIST>");
  EXPECT_EQ(Remove("/Inbox"), 1u);
  EXPECT_TRUE(Exists(Config() + "/Postoffices/x.xml"));

  // Without a configuration directory no security file is touched or made.
  registry().Remove(kLibraryRootKey, "Configuration Directory");
  registry().Save();
  EXPECT_EQ(SecurityFilePath("PO/anne", "PO"), "");
  EXPECT_EQ(RemoveSecurityEntry("PO/anne", "SF:PO/sales/Inbox", "PO"), 0u);
}

}  // namespace
}  // namespace qx
