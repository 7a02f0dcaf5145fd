// Names and paths that would lead out of the store: refused by every path
// builder, and by the full-path check once a host confines full paths.

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "frame/settings.h"
#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "frame/store_roots.h"
#include "platform/errors.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::kLibraryRootKey;

// Every entry below the test root, links not followed: what a refused call
// must leave as it was.
std::string TreeListing(const std::string& root) {
  std::string listing;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    listing += entry.path().string() + "\n";
  }
  return listing;
}

class StoreConfinementTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(mail_root() + "/PO/MAILROOT/MB/Inbox");
    MakeDirs(root() + "/outside");
    WriteFile(root() + "/outside/canary", "canary");
    Link(root() + "/outside", mail_root() + "/PO/MAILROOT/MB/Out");
    Link(root() + "/outside", mail_root() + "/PO/MAILROOT/Linked");
    // The administrator keeps the public folders on another disk.
    MakeDirs(root() + "/public-disk/Sales");
    Link(root() + "/public-disk", mail_root() + "/PO/PUBROOT");
  }
  static void Link(const std::string& target, const std::string& path) {
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
  }
};

TEST_F(StoreConfinementTest, EveryBuilderRefusesNamesAndLinksThatLeadOutAndCreatesNothing) {
  using Build = std::function<bool(const char* po, const char* mb, const char* folder)>;
  char out[kStorePathSize];
  const std::pair<const char*, Build> builders[] = {
      {"resolve",
       [](const char* po, const char* mb, const char* folder) {
         FolderPathRecord record;
         std::strcpy(record.postoffice, po);
         std::strcpy(record.mailbox, mb);
         std::strcpy(record.folder, folder);
         return ResolveFolderDirectory(&record) == 1 && record.folder_directory[0] != '\0';
       }},
      {"index",
       [&](const char* po, const char* mb, const char* folder) {
         return BuildIndexFolderDirectory(out, sizeof out, po, mb, folder) == 1;
       }},
      {"folder",
       [&](const char* po, const char* mb, const char* folder) {
         return GetFolderDirectory(out, sizeof out, po, mb, folder) == 1;
       }},
      {"message",
       [&](const char* po, const char* mb, const char* folder) {
         return GetMessageFolderPath(out, sizeof out, po, mb,
                                     (std::string("\\") + folder).c_str()) == 1;
       }},
      {"blob",
       [&](const char* po, const char* mb, const char* folder) {
         return GetBlobFilePath(out, sizeof out, po, mb, (std::string("\\") + folder).c_str(),
                                "A.MAI") == 1;
       }},
      {"hierarchy",
       [&](const char* po, const char* mb, const char* folder) {
         return GetHierarchyFolderPath(out, sizeof out, po, mb, folder) == 1;
       }},
      {"mailbox",
       [](const char* po, const char* mb, const char*) {
         return !MailboxDirectory(po, mb).empty() && !PostofficeMailboxDirectory(po, mb).empty();
       }},
  };
  const struct {
    const char* postoffice;
    const char* mailbox;
    const char* folder;
    uint32_t error;
  } refused[] = {
      {"..", "MB", "Inbox", platform::kErrorInvalidName},
      {"PO\\..\\..", "MB", "Inbox", platform::kErrorInvalidName},
      {"/tmp", "MB", "Inbox", platform::kErrorInvalidName},
      {"PO", "../../..", "Inbox", platform::kErrorInvalidName},
      {"PO", "\\etc", "Inbox", platform::kErrorInvalidName},
      {"PO", "MB/Out", "x", platform::kErrorInvalidName},  // one name, never a path
      {"PO\\MAILROOT", "MB", "Out", platform::kErrorInvalidName},
      {"PO", ".", "", platform::kErrorInvalidName},
      {"PO", "Linked", "Inbox", platform::kErrorAccessDenied},
  };
  const std::string before = TreeListing(root());
  for (const auto& [name, build] : builders) {
    for (const auto& c : refused) {
      platform::SetLastError(0);
      EXPECT_FALSE(build(c.postoffice, c.mailbox, c.folder))
          << name << " " << c.postoffice << " " << c.mailbox;
      EXPECT_EQ(platform::GetLastError(), c.error)
          << name << " " << c.postoffice << " " << c.mailbox;
    }
    if (std::string(name) == "mailbox") continue;
    for (const char* folder : {"..\\..\\..\\outside", "Out", "Out\\Sub", "$FILEROOT/../../x",
                               "Inbox/../../../../outside"}) {
      EXPECT_FALSE(build("PO", "MB", folder)) << name << " " << folder;
      EXPECT_TRUE(IsConfinementRefusal(platform::GetLastError())) << name << " " << folder;
    }
  }
  for (const char* file : {"../x.MAI", "/etc/passwd", "Sub\\..\\..\\x"}) {
    EXPECT_EQ(GetBlobFilePath(out, sizeof out, "PO", "MB", "\\Inbox", file), 0u) << file;
    EXPECT_STREQ(out, "");
  }
  EXPECT_EQ(TreeListing(root()), before);

  // Inside the store, links the administrator placed included, all is as before.
  EXPECT_EQ(GetBlobFilePath(out, sizeof out, "PO", "MB", "Public/Sales", "A.MAI"), 1u);
  EXPECT_EQ(BuildIndexFolderDirectory(out, sizeof out, "PO", "MB", "\\Public\\Sales"), 1u);
  EXPECT_EQ(BuildIndexFolderDirectory(out, sizeof out, "PO", "MB", "Inbox\\..x..\\.."), 0u);
  EXPECT_EQ(BuildIndexFolderDirectory(out, sizeof out, "PO", "MB", "Sent\\2024"), 1u);
  EXPECT_TRUE(Exists(mail_root() + "/PO/MAILROOT/MB/Inbox"));
}

TEST_F(StoreConfinementTest, ConfinedFullPathsStayInTheMailRootQueuesAndBadMail) {
  MakeDirs(root() + "/queues/smtp");
  MakeDirs(root() + "/bad");
  MakeDirs(root() + "/bad2");
  registry().SetString(std::string(kLibraryRootKey) + "\\CONNECTORS\\SMTP", "Queue Directory",
                       root() + "/queues/smtp");
  registry().SetString(kLibraryRootKey, "Bad Mail Directory", root() + "/bad");
  ReloadLibrary();
  const std::string po = mail_root() + "\\PO";

  // The server's own programs are trusted with their full paths.
  EXPECT_TRUE(IsAllowedFullPath("/etc"));
  EXPECT_TRUE(IsAllowedFullPath("relative"));
  ConfineFullPaths();
  const std::pair<std::string, uint32_t> cases[] = {
      {po + "\\MAILROOT\\MB\\Inbox", platform::kErrorSuccess},
      {po + "\\MAILROOT\\MB\\Inbox\\not-yet\\x.MAI", platform::kErrorSuccess},
      {po + "\\PUBROOT\\Sales", platform::kErrorSuccess},  // the postoffice's own public root
      {root() + "/queues/SMTP/x.MAI", platform::kErrorSuccess},
      {root() + "/bad/x.MAI", platform::kErrorSuccess},
      {"/etc/hostname", platform::kErrorAccessDenied},
      {root() + "/bad2/x.MAI", platform::kErrorAccessDenied},
      {po + "\\MAILROOT\\MB\\Out\\canary", platform::kErrorAccessDenied},
      {po + "\\..\\..\\outside", platform::kErrorInvalidName},
      {"PO\\MAILROOT", platform::kErrorInvalidName},
      {"", platform::kErrorInvalidName},
  };
  for (const auto& [path, error] : cases) {
    platform::SetLastError(0);
    EXPECT_EQ(IsAllowedFullPath(path), error == platform::kErrorSuccess) << path;
    EXPECT_EQ(platform::GetLastError(), error) << path;
  }

  // The content search reads nothing a link leads to outside the store.
  WriteFile(mail_root() + "/PO/MAILROOT/MB/Inbox/a.MAI", "canary inside");
  ASSERT_EQ(MsgSearch_SetParameter_String("Directory", (po + "\\MAILROOT\\MB").c_str()), 1u);
  ASSERT_EQ(MsgSearch_SetParameter_String("SearchString", "*canary*"), 1u);
  ASSERT_EQ(MsgSearch_SetParameter_Int("SearchSubFolders", 1), 1u);
  ASSERT_EQ(StoreItem_FirstMatch(), 1u);
  char* found = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(StoreItem_GetMatchProp("FilenameList", &found, &length), 1u);
  EXPECT_EQ(std::string(found, length), "Inbox\\a.MAI");
  ASSERT_EQ(MsgSearch_SetParameter_String("Directory", (po + "\\MAILROOT\\MB\\Out").c_str()), 1u);
  EXPECT_EQ(StoreItem_FirstMatch(), 0u);
  MsgSearch_UnInit();
}

}  // namespace
}  // namespace qx
