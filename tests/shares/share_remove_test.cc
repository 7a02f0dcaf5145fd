// Withdrawing shares: the share list, the shared folder's access list and
// the grantees' security files, as each is left on disk.

#include "shares/share_remove.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "qxstore.h"
#include "shares/security_files.h"
#include "shares/share_documents.h"
#include "support/test_store.h"

namespace qx {
namespace {

std::string Shares(const std::vector<std::string>& resources) {
  std::string list = "<SHARES>";
  for (const auto& resource : resources) {
    list += "<SHARE><DESCRIPTION>d</DESCRIPTION><RESOURCE>" + resource + "</RESOURCE></SHARE>";
  }
  return list + "</SHARES>";
}

std::string Items(const std::string& attribute, const std::vector<std::string>& values) {
  std::string list = "<LIST>";
  for (const auto& value : values) list += "<ITEM " + attribute + "=\"" + value + "\"><ACL>rw</ACL></ITEM>";
  return list + "</LIST>";
}

class ShareRemoveTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    registry().SetString(test::kLibraryRootKey, "Configuration Directory", Config());
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

TEST_F(ShareRemoveTest, RemovingEveryShareOfAMailboxLeavesNothingBehind) {
  WriteFile(ShareList(), Shares({"/Inbox", "/Inbox/Projects", "/Calendar"}));
  for (const char* folder : {"/Inbox", "/Inbox/Projects", "/Calendar"}) {
    WriteFile(Mailbox() + folder + "/_Access.XML",
              Items("USER", {"PO/anne", "PO/{$EVERYONE}", "PO/bob"}));  // bob has no file: skipped
  }
  WriteFile(Security("anne"), Items("URI", {"SF:PO/sales/Inbox", "SF:PO/sales/Inbox/Projects"}));
  WriteFile(Security("{$EVERYONE}"), Items("URI", {"SF:PO/other/Inbox", "SF:PO/sales/Calendar"}));
  EXPECT_EQ(RemoveMailboxShares("sales", "PO"), 1u);
  EXPECT_FALSE(Exists(ShareList()));
  for (const char* folder : {"/Inbox", "/Inbox/Projects", "/Calendar"}) {
    EXPECT_FALSE(Exists(Mailbox() + folder + "/_Access.XML")) << folder;
    EXPECT_TRUE(Exists(Mailbox() + folder));
  }
  EXPECT_FALSE(Exists(Security("anne")));
  EXPECT_EQ(ReadFile(Security("{$EVERYONE}")), Items("URI", {"SF:PO/other/Inbox"}));
  EXPECT_FALSE(Exists(Security("bob")));

  // No share list, or one that does not load: nothing changes.
  WriteFile(Security("anne"), Items("URI", {"SF:PO/sales/Inbox"}));
  EXPECT_EQ(RemoveMailboxShares("sales", "PO"), 0u);
  EXPECT_EQ(RemoveMailboxShares(nullptr, "PO"), 0u);
  WriteFile(ShareList(), "<SHARES><SHARE>");
  EXPECT_EQ(RemoveMailboxShares("sales", "PO"), 0u);
  EXPECT_EQ(ReadFile(ShareList()), "<SHARES><SHARE>");
  EXPECT_TRUE(Exists(Security("anne")));
}

TEST_F(ShareRemoveTest, OneShareIsNormalisedInPlaceAndMatchedExactly) {
  WriteFile(ShareList(), Shares({"/Inbox", "/Inbox/Projects", "/$FILEROOT/Docs"}));
  WriteFile(Mailbox() + "/Inbox/Projects/_Access.XML", "<LIST></LIST>");
  EXPECT_EQ(Remove("Inbox\\Projects"), 1u);
  EXPECT_STREQ(buffer_, "/Inbox/Projects");
  EXPECT_FALSE(Exists(Mailbox() + "/Inbox/Projects/_Access.XML"));
  // Not listed (case matters in the list, and the text is no query): nothing changes.
  EXPECT_EQ(Remove("/INBOX"), 0u);
  EXPECT_EQ(Remove("/Inbox'] | //SHARE[RESOURCE='/Inbox"), 0u);
  EXPECT_EQ(Remove("\\$fileroot\\Docs"), 0u);
  EXPECT_EQ(ReadFile(ShareList()), Shares({"/Inbox", "/$FILEROOT/Docs"}));

  // File store shares have their access list under the file root.
  const std::string access = mail_root() + "/PO/FILEROOT/sales/Docs/_Access.XML";
  WriteFile(access, Items("USER", {"PO/anne"}));
  WriteFile(Security("anne"), Items("URI", {"SF:PO/sales/$FILEROOT/Docs", "SF:PO/sales/$FILEROOT"}));
  EXPECT_EQ(Remove("$FILEROOT/Docs"), 1u);
  EXPECT_FALSE(Exists(access));
  EXPECT_EQ(ReadFile(Security("anne")), Items("URI", {"SF:PO/sales/$FILEROOT"}));

  // A missing access list fails the call but still removes the entry;
  // without the access part the access list is not even looked at.
  WriteFile(Mailbox() + "/Notes/_Access.XML", Items("USER", {"PO/anne"}));
  WriteFile(ShareList(), Shares({"/Inbox", "/Notes"}));
  EXPECT_EQ(Remove("/Inbox"), 0u);
  EXPECT_EQ(ReadFile(ShareList()), Shares({"/Notes"}));
  EXPECT_EQ(Remove("/Notes", 0), 1u);
  EXPECT_FALSE(Exists(ShareList()));
  EXPECT_TRUE(Exists(Mailbox() + "/Notes/_Access.XML"));
  // A buffer too small for the leading '/' keeps what fits.
  char small[4] = "abc";
  EXPECT_EQ(Share_Remove(small, sizeof small, 1, "sales", "PO"), 0u);
  EXPECT_STREQ(small, "/ab");
}

TEST_F(ShareRemoveTest, GranteeNamesNeverReachOutsideTheSecurityDirectory) {
  EXPECT_EQ(SecurityFilePath("PO/../../x", "PO"), "");
  EXPECT_EQ(SecurityFilePath("PO/a/b", "PO"), "");
  EXPECT_EQ(SecurityFilePath("PO/anne", ".."), "");
  WriteFile(Config() + "/Postoffices/x.xml", Items("URI", {"SF:PO/sales/Inbox"}));
  WriteFile(ShareList(), Shares({"/Inbox"}));
  WriteFile(Mailbox() + "/Inbox/_Access.XML", Items("USER", {"PO/../x"}));
  EXPECT_EQ(Remove("/Inbox"), 1u);
  EXPECT_TRUE(Exists(Config() + "/Postoffices/x.xml"));

  // Without a configuration directory no security file is touched or made.
  registry().Remove(test::kLibraryRootKey, "Configuration Directory");
  registry().Save();
  EXPECT_EQ(RemoveSecurityEntry("PO/anne", "SF:PO/sales/Inbox", "PO"), 0u);
}

}  // namespace
}  // namespace qx
