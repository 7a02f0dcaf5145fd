#include "frame/store_paths.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "frame/settings.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::kLibraryRootKey;

class StorePathsTest : public test::StoreTest {
 protected:
  // R\PO: the mail root and the test's postoffice in store path form.
  std::string Po() const { return mail_root() + "\\PO"; }
  std::string Native(const std::string& below_mail_root) const {
    return mail_root() + "/" + below_mail_root;
  }

  std::string Resolve(const char* folder) {
    FolderPathRecord record;
    std::strcpy(record.postoffice, "PO");
    std::strcpy(record.mailbox, "MB");
    std::strcpy(record.folder, folder);
    EXPECT_EQ(ResolveFolderDirectory(&record), 1u);
    return record.folder_directory;
  }
  std::string FolderDirectory(const char* folder) {
    char out[kStorePathSize];
    EXPECT_EQ(GetFolderDirectory(out, sizeof out, "PO", "MB", folder), 1u);
    return out;
  }
  std::string MessageFolder(const char* folder) {
    char out[kStorePathSize];
    EXPECT_EQ(GetMessageFolderPath(out, sizeof out, "PO", "MB", folder), 1u);
    return out;
  }
  std::string Hierarchy(const char* folder) {
    char out[kStorePathSize];
    EXPECT_EQ(GetHierarchyFolderPath(out, sizeof out, "PO", "MB", folder), 1u);
    return out;
  }
  std::string IndexDirectory(const char* folder) {
    char out[kStorePathSize];
    EXPECT_EQ(BuildIndexFolderDirectory(out, sizeof out, "PO", "MB", folder), 1u);
    return out;
  }
  void SetPublicFolders(uint32_t enabled) {
    registry().SetDword(kLibraryRootKey, "Public Folders Enabled", enabled);
    registry().Save();
  }
};

TEST_F(StorePathsTest, NameTestsFindTheWordInTheFirstTwoCharacters) {
  for (const char* name : {"Public", "/Public", "\\Public\\Sales", "public/x", "xPublic"}) {
    EXPECT_TRUE(IsPublicFolderName(name)) << name;
  }
  for (const char* name : {"Publications", "My Public", "//Public", "", "Public."}) {
    EXPECT_FALSE(IsPublicFolderName(name)) << name;
  }
  EXPECT_FALSE(IsPublicFolderName(nullptr));
  EXPECT_TRUE(IsFileRootName("$fileroot"));
  EXPECT_TRUE(IsFileRootName("\\$FILEROOT/Docs"));
  EXPECT_FALSE(IsFileRootName("$FILEROOTS"));
}

TEST_F(StorePathsTest, ResolveAppliesTheGrammarInOrderOnTheMailRoot) {
  EXPECT_EQ(Resolve(""), Po() + "\\MAILROOT\\MB\\INBOX");
  EXPECT_EQ(Resolve("Sent\\2024"), Po() + "\\MAILROOT\\MB\\Sent\\2024");
  EXPECT_EQ(Resolve("\\Public\\Sales"), Po() + "\\PUBROOT\\Sales");
  EXPECT_EQ(Resolve("public/x/y"), Po() + "\\PUBROOT\\x/y");
  EXPECT_EQ(Resolve("Public"), Po() + "\\PUBROOT");
  EXPECT_EQ(Resolve("Publications"), Po() + "\\MAILROOT\\MB\\Publications");
  EXPECT_EQ(Resolve("$VCFROOT/Work"), Po() + "\\VCFROOT\\Work");
  EXPECT_EQ(Resolve("$VCFROOT\\Work"), Po() + "\\VCFROOT\\Work");
  EXPECT_EQ(Resolve("$vcfrootWork"), Po() + "\\VCFROOT");
  EXPECT_EQ(Resolve("$FILEROOT/Docs"), Po() + "\\FILEROOT\\MB\\Docs");
  EXPECT_EQ(Resolve("$fileroot"), Po() + "\\FILEROOT\\MB");
  // The contact rule comes before the public rule.
  EXPECT_EQ(Resolve("$VCFROOT/Public"), Po() + "\\VCFROOT\\Public");

  FolderPathRecord already_set;
  std::strcpy(already_set.folder, "Public");
  std::strcpy(already_set.folder_directory, "kept as it is");
  EXPECT_EQ(ResolveFolderDirectory(&already_set), 1u);
  EXPECT_STREQ(already_set.folder_directory, "kept as it is");
}

TEST_F(StorePathsTest, ResolveCreatesOnlyTheFinalSpecialDirectory) {
  MakeDirs(Native("PO"));
  Resolve("$FILEROOT/Docs");  // R\PO\FILEROOT\MB is missing, so Docs cannot be made
  EXPECT_FALSE(Exists(Native("PO/FILEROOT")));
  Resolve("$VCFROOT/Work");
  EXPECT_FALSE(Exists(Native("PO/VCFROOT")));
  Resolve("$VCFROOT");
  EXPECT_TRUE(Exists(Native("PO/VCFROOT")));
  Resolve("$VCFROOT/Work");
  EXPECT_TRUE(Exists(Native("PO/VCFROOT/Work")));
  Resolve("\\Public\\Sales");
  EXPECT_FALSE(Exists(Native("PO/PUBROOT")));
  Resolve("Sent");
  Resolve("");
  EXPECT_FALSE(Exists(Native("PO/MAILROOT")));
}

TEST_F(StorePathsTest, IndexRuleCreatesEverySpecialRootOnTheWay) {
  MakeDirs(Native("PO"));
  EXPECT_EQ(IndexDirectory("$FILEROOT/Docs"), Po() + "\\FILEROOT\\MB\\Docs");
  EXPECT_TRUE(Exists(Native("PO/FILEROOT/MB/Docs")));
  EXPECT_EQ(IndexDirectory("\\Public\\Sales"), Po() + "\\PUBROOT\\Sales");
  EXPECT_TRUE(Exists(Native("PO/PUBROOT/Sales")));
  EXPECT_EQ(IndexDirectory(""), Po() + "\\MAILROOT\\MB\\INBOX");
  EXPECT_FALSE(Exists(Native("PO/MAILROOT")));
  // An existing directory spelled otherwise is found, not duplicated.
  MakeDirs(Native("PO/vcfroot"));
  EXPECT_EQ(IndexDirectory("$VCFROOT/Work"), Po() + "\\VCFROOT\\Work");
  EXPECT_TRUE(Exists(Native("PO/vcfroot/Work")));
  EXPECT_FALSE(Exists(Native("PO/VCFROOT")));
}

TEST_F(StorePathsTest, PublicFoldersSettingIsReadOnEveryCall) {
  SetPublicFolders(0);
  EXPECT_EQ(PublicFoldersEnabled(), 0u);
  EXPECT_EQ(Resolve("\\Public\\Sales"), Po() + "\\MAILROOT\\MB\\\\Public\\Sales");
  EXPECT_EQ(FolderDirectory("Public"), Po() + "\\MAILROOT\\MB\\Public");
  EXPECT_EQ(MessageFolder("Public/Sales"), Po() + "\\MAILROOT\\MBPublic/Sales");
  EXPECT_EQ(Hierarchy("Public/Sales"), Po() + "\\MAILROOT\\MB\\Public/Sales");
  SetPublicFolders(1);
  EXPECT_EQ(Resolve("\\Public\\Sales"), Po() + "\\PUBROOT\\Sales");
  registry().Remove(kLibraryRootKey, "Public Folders Enabled");
  registry().Save();
  EXPECT_EQ(PublicFoldersEnabled(), 1u);  // unreadable counts as enabled
}

TEST_F(StorePathsTest, FolderDirectoryHasNoContactRuleAndNoInbox) {
  EXPECT_EQ(FolderDirectory(""), Po() + "\\MAILROOT\\MB\\");
  EXPECT_EQ(FolderDirectory("Inbox"), Po() + "\\MAILROOT\\MB\\Inbox");
  EXPECT_EQ(FolderDirectory(nullptr), Po() + "\\MAILROOT\\MB");
  EXPECT_EQ(FolderDirectory("$VCFROOT/Work"), Po() + "\\MAILROOT\\MB\\$VCFROOT/Work");
  EXPECT_EQ(FolderDirectory("$FILEROOT/Docs"), Po() + "\\FILEROOT\\MB\\Docs");
  EXPECT_EQ(FolderDirectory("\\$FILEROOT\\Docs"), Po() + "\\FILEROOT\\MB\\Docs");
  EXPECT_EQ(FolderDirectory("$FILEROOT"), Po() + "\\FILEROOT\\MB");
  // A prefix that IsFileRootName rejects is an ordinary folder here.
  EXPECT_EQ(FolderDirectory("$FILEROOTS"), Po() + "\\MAILROOT\\MB\\$FILEROOTS");
  EXPECT_EQ(FolderDirectory("/Public/Sales"), Po() + "\\PUBROOT\\Sales");
}

TEST_F(StorePathsTest, LegacyFolderTextsNameOnlyForwardSlashPublicSubfolders) {
  EXPECT_EQ(MessageFolder("Public\\Sales"), Po() + "\\PUBROOT");
  EXPECT_EQ(MessageFolder("Public/Sales"), Po() + "\\PUBROOT\\Sales");
  EXPECT_EQ(MessageFolder("Publications"), Po() + "\\PUBROOT");  // no separator test
  EXPECT_EQ(MessageFolder("\\Public/Sales"), Po() + "\\MAILROOT\\MB\\Public/Sales");
  EXPECT_EQ(MessageFolder("\\Inbox"), Po() + "\\MAILROOT\\MB\\Inbox");
  EXPECT_EQ(MessageFolder("\\"), Po() + "\\MAILROOT\\MB");
  EXPECT_EQ(MessageFolder("/"), Po() + "\\MAILROOT\\MB");

  char out[kStorePathSize];
  ASSERT_EQ(GetBlobFilePath(out, sizeof out, "PO", "MB", "\\Inbox", "A.MAI"), 1u);
  EXPECT_EQ(std::string(out), Po() + "\\MAILROOT\\MB\\Inbox\\A.MAI");
  ASSERT_EQ(GetBlobFilePath(out, sizeof out, "PO", "MB", "Public/Sales", "A.MAI"), 1u);
  EXPECT_EQ(std::string(out), Po() + "\\PUBROOT\\Sales\\A.MAI");
  ASSERT_EQ(GetBlobFilePath(out, sizeof out, "PO", "MB", "Public\\Sales", "A.MAI"), 1u);
  EXPECT_EQ(std::string(out), Po() + "\\PUBROOT\\A.MAI");
  ASSERT_EQ(GetBlobFilePath(out, sizeof out, "PO", "MB", "/", "A.MAI"), 1u);
  EXPECT_EQ(std::string(out), Po() + "\\MAILROOT\\MB\\A.MAI");
}

TEST_F(StorePathsTest, HierarchyPathsKeepTheirOwnSeparatorRules) {
  EXPECT_EQ(Hierarchy("Inbox\\"), Po() + "\\MAILROOT\\MB\\Inbox");
  EXPECT_EQ(Hierarchy("\\Inbox"), Po() + "\\MAILROOT\\MB\\Inbox");
  EXPECT_EQ(Hierarchy("/Sent/"), Po() + "\\MAILROOT\\MB/Sent");
  EXPECT_EQ(Hierarchy(""), Po() + "\\MAILROOT\\MB");
  EXPECT_EQ(Hierarchy("$VCFROOT/Work"), Po() + "\\VCFROOT\\Work");
  EXPECT_EQ(Hierarchy("$VCFROOT\\Work"), Po() + "\\VCFROOT");
  EXPECT_EQ(Hierarchy("$FILEROOT/Docs"), Po() + "\\FILEROOT\\MB/Docs");
  EXPECT_EQ(Hierarchy("$FILEROOT"), Po() + "\\FILEROOT\\MB");
  EXPECT_EQ(Hierarchy("Public/x"), Po() + "\\PUBROOT\\x");
  MakeDirs(Native("PO"));
  Hierarchy("$VCFROOT");
  EXPECT_FALSE(Exists(Native("PO/VCFROOT")));  // creates nothing
}

TEST_F(StorePathsTest, FormattedPathsAreRejectedAndCopiedPathsCut) {
  std::string long_folder(1100, 'f');
  char out[kStorePathSize];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(GetFolderDirectory(out, sizeof out, "PO", "MB", long_folder.c_str()), 0u);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(GetMessageFolderPath(out, sizeof out, "PO", "MB", long_folder.c_str()), 0u);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(GetBlobFilePath(out, 64, "PO", "MB", "\\Inbox", long_folder.c_str()), 0u);
  EXPECT_STREQ(out, "");

  std::string cut = Resolve(long_folder.substr(0, 1000).c_str());
  EXPECT_EQ(cut.size(), kStorePathSize - 1);
  EXPECT_EQ(cut, (Po() + "\\MAILROOT\\MB\\" + long_folder).substr(0, kStorePathSize - 1));
  // A hierarchy path formats its base and appends the folder, cutting it.
  EXPECT_EQ(GetHierarchyFolderPath(out, sizeof out, "PO", "MB", long_folder.c_str()), 1u);
  EXPECT_EQ(std::strlen(out), kStorePathSize - 1);
}

TEST_F(StorePathsTest, PostofficeDirectoryRefillsAnEmptyMailRoot) {
  char out[kStorePathSize];
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_EQ(std::string(out), Po());
  Settings().mail_root[0] = '\0';
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_EQ(std::string(out), Po());
  EXPECT_EQ(std::string(Settings().mail_root), mail_root());

  // With no mail root value at all the library starts on "\POSTOFFICES".
  registry().Remove(kLibraryRootKey, "Mail Root");
  ReloadLibrary();
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_STREQ(out, "\\POSTOFFICES\\PO");
  EXPECT_EQ(Resolve(""), "\\POSTOFFICES\\PO\\MAILROOT\\MB\\INBOX");
}

TEST_F(StorePathsTest, FlagFileNamesFollowTheDirectoryForm) {
  EXPECT_EQ(FolderFlagPath("D", FolderFlag::kChanged, false), "D\\_CHANGE.DTY");
  EXPECT_EQ(FolderFlagPath("D\\", FolderFlag::kChanged, true), "D\\_CHANGE.DTY");
  EXPECT_EQ(FolderFlagPath("D/", FolderFlag::kFolder, true), "D/_FOLDER.DTY");
  EXPECT_EQ(FolderFlagPath("D", FolderFlag::kAnyDirty, false), "D\\_*.DTY");
  EXPECT_EQ(FolderFlagPath("D", FolderFlag::kIndexCheck, false), "D\\_index.xml");
  EXPECT_TRUE(EndsWithSeparator("D/"));
  EXPECT_FALSE(EndsWithSeparator(""));
  EXPECT_EQ(IndexFilePath("D"), "D\\_index.xml");
  EXPECT_EQ(IndexBlockPath("D"), "D\\_index.blk");
  EXPECT_EQ(MailboxDirectory("PO", "MB"), Po() + "\\MAILROOT\\MB");
  EXPECT_EQ(DeliveryFlagPath("M", 12), "M\\_12.NEW");
  EXPECT_EQ(DeliveryFlagPattern("M"), "M\\_*.NEW");

  std::string directory(2036, 'd');  // + "\_CHANGE.DTY" is 2048 bytes: one too many
  EXPECT_EQ(FolderFlagPath(directory.c_str(), FolderFlag::kChanged, false), "");
  EXPECT_EQ(FolderFlagPath(directory.c_str(), FolderFlag::kChanged, true).size(), 2047u);
  EXPECT_EQ(IndexBlockPath(directory.c_str(), 512), "");
}

// Custom postoffice roots come from the real option provider, loaded from
// "Application Directory" + "64".
class CustomPostofficeTest : public StorePathsTest {
 protected:
  void SetUp() override {
    StorePathsTest::SetUp();
    std::string plugin_directory = root() + "/app64";
    MakeDirs(plugin_directory);
    std::string plugin = std::string(QX_BINARY_DIR) + "/libqxaiso.so";
    ASSERT_TRUE(Exists(plugin)) << "build the plugin_options target";
    ASSERT_EQ(symlink(plugin.c_str(), (plugin_directory + "/libqxaiso.so").c_str()), 0);
    options_ = root() + "/options.ini";
    setenv("QXSTORE_OPTIONS", options_.c_str(), 1);
    WriteFile(options_, "[Postoffice PO]\nPostofficeRoot=D:\\PO1\n");
    registry().SetString(kLibraryRootKey, "Application Directory", root() + "/app");
  }
  void TearDown() override {
    unsetenv("QXSTORE_OPTIONS");
    StorePathsTest::TearDown();
  }
  std::string options_;
};

TEST_F(CustomPostofficeTest, OnlyPostofficeDirectoryBuildersHonourTheCustomRoot) {
  registry().SetDword(kLibraryRootKey, "Allow Custom Postoffice Paths", 1);
  ReloadLibrary();
  char out[kStorePathSize];
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "po"), 1u);
  EXPECT_STREQ(out, "D:\\PO1");
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "OTHER"), 1u);
  EXPECT_EQ(std::string(out), mail_root() + "\\OTHER");
  EXPECT_EQ(FolderDirectory("Inbox"), "D:\\PO1\\MAILROOT\\MB\\Inbox");
  EXPECT_EQ(FolderDirectory("Public/Sales"), "D:\\PO1\\PUBROOT\\Sales");
  EXPECT_EQ(Resolve("Inbox"), Po() + "\\MAILROOT\\MB\\Inbox");
  EXPECT_EQ(MessageFolder("\\Inbox"), Po() + "\\MAILROOT\\MB\\Inbox");
  EXPECT_EQ(IndexDirectory("Inbox"), Po() + "\\MAILROOT\\MB\\Inbox");

  // The provider's answer follows the administrator's edits.
  WriteFile(options_, "[Postoffice PO]\nPostofficeRoot=\n");
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_EQ(std::string(out), Po());
}

TEST_F(CustomPostofficeTest, CustomRootsAreIgnoredUnlessAllowed) {
  ReloadLibrary();
  char out[kStorePathSize];
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_EQ(std::string(out), Po());
}

TEST_F(CustomPostofficeTest, MissingProviderFallsBackToTheMailRoot) {
  registry().SetDword(kLibraryRootKey, "Allow Custom Postoffice Paths", 1);
  registry().SetString(kLibraryRootKey, "Application Directory", root() + "/nowhere");
  ReloadLibrary();
  char out[kStorePathSize];
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_EQ(std::string(out), Po());
}

}  // namespace
}  // namespace qx
