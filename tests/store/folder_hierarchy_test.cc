// The child lists "_folder.xml": their bytes, when they are rebuilt and when
// the cached list is used, and how adding a folder marks them stale.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "qxstore.h"
#include "support/folder_test_fixture.h"

namespace qx {
namespace {

using test::FolderIndexOf;
using Names = std::vector<std::string>;

class FolderHierarchyTest : public test::FolderTest {
 protected:
  void TearDown() override {
    platform::ClearFaults();
    FolderTest::TearDown();
  }
};

TEST_F(FolderHierarchyTest, AddCanonicalisesAtTopLevelAndEnumerationWritesExactBytes) {
  STOREFOLDER inbox = Record("\\", "INBOX");
  EXPECT_NE(StoreFolderAdd(&inbox), 0u);
  EXPECT_STREQ(inbox.name, "Inbox");
  EXPECT_TRUE(IsDirectory(MailboxDir() + "/Inbox"));
  EXPECT_EQ(ReadFile(MailboxDir() + "/_folder.dty"), "DIRTY");

  // Made behind the store's back, in lower case, at the top and one down.
  MakeDirs(MailboxDir() + "/sent items");
  MakeDirs(MailboxDir() + "/Inbox/sent items");
  WriteFile(MailboxDir() + "/Inbox/_index.xml", "<BASEELEMENT/>");
  EXPECT_EQ(Children("/"), (Names{"Inbox", "Sent Items"}));
  EXPECT_EQ(ReadFile(MailboxDir() + "/_folder.xml"),
            "<folderindex><folder><name><![CDATA[Inbox]]></name></folder>"
            "<folder><name><![CDATA[Sent Items]]></name></folder></folderindex>");
  EXPECT_FALSE(Exists(MailboxDir() + "/_folder.dty"));
  EXPECT_EQ(Children("Inbox"), Names{"sent items"});
  EXPECT_EQ(ReadFile(MailboxDir() + "/Inbox/_folder.xml"), FolderIndexOf({"sent items"}));

  // One level down a well-known name keeps its case when added, too; markup in names survives.
  STOREFOLDER drafts = Record("Inbox", "DRAFTS");
  EXPECT_NE(StoreFolderAdd(&drafts), 0u);
  EXPECT_STREQ(drafts.name, "DRAFTS");
  for (const char* name : {"a]]>b", "<x>&y"}) MakeDirs(MailboxDir() + "/Inbox/" + name);
  WriteFile(MailboxDir() + "/Inbox/_folder.dty", "DIRTY");
  EXPECT_EQ(Children("Inbox\\"), (Names{"<x>&y", "DRAFTS", "a]]>b", "sent items"}));
}

TEST_F(FolderHierarchyTest, AFreshListIsBelievedAndNotRewrittenUntilAnAddMarksItStale) {
  MakeDirs(MailboxDir() + "/Inbox");
  EXPECT_EQ(Children("\\"), Names{"Inbox"});
  const std::string index = MailboxDir() + "/_folder.xml";
  SetWriteTime(index, 1000000000);
  EXPECT_EQ(Children("\\"), Names{"Inbox"});
  EXPECT_EQ(WriteTime(index), 1000000000);

  STOREFOLDER projects = Record("\\", "Projects");
  EXPECT_EQ(StoreFolderAdd(&projects), 1u);
  EXPECT_EQ(ReadFile(MailboxDir() + "/_folder.dty"), "DIRTY");
  EXPECT_EQ(WriteTime(index), 1000000000);  // changes only mark; they never edit the list
  EXPECT_EQ(Children("\\"), (Names{"Inbox", "Projects"}));
  EXPECT_NE(WriteTime(index), 1000000000);
  EXPECT_FALSE(Exists(MailboxDir() + "/_folder.dty"));

  // A name the list already holds (in any case) leaves it fresh.
  STOREFOLDER again = Record("\\", "PROJECTS");
  EXPECT_EQ(StoreFolderAdd(&again), 0u);
  EXPECT_FALSE(Exists(MailboxDir() + "/_folder.dty"));

  // Another process's list is read as it is, sorted and without repeats.
  WriteFile(index, FolderIndexOf({"Zeta", "Alpha", "Alpha"}));
  SetWriteTime(index, 1500000000);
  EXPECT_EQ(Children("\\"), (Names{"Alpha", "Zeta"}));
}

TEST_F(FolderHierarchyTest, ACorruptOrUnwritableListEnumeratesNothingAndStaysStale) {
  MakeDirs(MailboxDir() + "/Inbox");
  WriteFile(MailboxDir() + "/_folder.xml", "<folderindex><folder><name>Inb");
  EXPECT_TRUE(Children("\\").empty());
  EXPECT_EQ(ReadFile(MailboxDir() + "/_folder.xml"), "<folderindex><folder><name>Inb");
  STOREFOLDER top = Record("/", "");
  EXPECT_EQ(StoreFolder_ReIndexChildFolders(&top), 1u);
  EXPECT_EQ(Children("\\"), Names{"Inbox"});

  // A new list that cannot be put in place leaves the old one flagged.
  const std::string before = ReadFile(MailboxDir() + "/_folder.xml");
  MakeDirs(MailboxDir() + "/Outbox");
  WriteFile(MailboxDir() + "/_folder.dty", "DIRTY");
  platform::InjectFault(platform::FaultOp::kOpen, ".tmp", platform::kErrorDiskFull, 1);
  EXPECT_EQ(StoreFolder_ReIndexChildFolders(&top), 0u);
  platform::InjectFault(platform::FaultOp::kMove, "_folder.", platform::kErrorSharingViolation, 1);
  EXPECT_TRUE(Children("\\").empty());
  EXPECT_EQ(ReadFile(MailboxDir() + "/_folder.dty"), "DIRTY");
  EXPECT_EQ(ReadFile(MailboxDir() + "/_folder.xml"), before);
  EXPECT_EQ(Children("\\"), (Names{"Inbox", "Outbox"}));
  EXPECT_FALSE(Exists(MailboxDir() + "/_folder.dty"));
}

TEST_F(FolderHierarchyTest, AddNeedsAParentAndANameAndRefusesPublicAtTheTopWhileEnabled) {
  for (const char* name : {"public", "\\Public", "/PUBLIC", ""}) {
    STOREFOLDER folder = Record("\\", name);
    EXPECT_EQ(StoreFolderAdd(&folder), 0u) << name;
  }
  STOREFOLDER orphan = Record("Missing", "Child");
  EXPECT_EQ(StoreFolderAdd(&orphan), 0u);
  EXPECT_FALSE(Exists(MailboxDir() + "/Missing"));
  EXPECT_FALSE(Exists(MailboxDir() + "/_folder.dty"));
  registry().SetDword(test::kLibraryRootKey, "Public Folders Enabled", 0);
  registry().Save();
  STOREFOLDER plain = Record("\\", "public");
  EXPECT_EQ(StoreFolderAdd(&plain), 1u);
  EXPECT_TRUE(IsDirectory(MailboxDir() + "/public"));
}

}  // namespace
}  // namespace qx
