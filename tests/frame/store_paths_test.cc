#include "frame/store_paths.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include "frame/settings.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::kLibraryRootKey;

// The folder path builders, each asked for postoffice "PO" and mailbox "MB".
enum class Builder { kResolve, kFolder, kMessage, kHierarchy, kIndex };

class StorePathsTest : public test::StoreTest {
 protected:
  // R\PO: the mail root and the test's postoffice in store path form.
  std::string Po() const { return mail_root() + "\\PO"; }
  std::string Native(const std::string& below_mail_root) const { return mail_root() + "/" + below_mail_root; }

  std::string Build(Builder builder, const char* folder) {
    char out[kStorePathSize] = {};
    uint32_t result = 1;
    switch (builder) {
      case Builder::kResolve: {
        FolderPathRecord record;
        std::strcpy(record.postoffice, "PO");
        std::strcpy(record.mailbox, "MB");
        std::strcpy(record.folder, folder);
        result = ResolveFolderDirectory(&record);
        return result == 1 ? record.folder_directory : "<failed>";
      }
      case Builder::kFolder: result = GetFolderDirectory(out, sizeof out, "PO", "MB", folder); break;
      case Builder::kMessage: result = GetMessageFolderPath(out, sizeof out, "PO", "MB", folder); break;
      case Builder::kHierarchy: result = GetHierarchyFolderPath(out, sizeof out, "PO", "MB", folder); break;
      case Builder::kIndex: result = BuildIndexFolderDirectory(out, sizeof out, "PO", "MB", folder); break;
    }
    return result == 1 ? out : "<failed>";
  }
  void SetPublicFolders(uint32_t enabled) {
    registry().SetDword(kLibraryRootKey, "Public Folders Enabled", enabled);
    registry().Save();
  }
};

TEST_F(StorePathsTest, EachBuilderKeepsItsOwnRules) {
  using enum Builder;
  const struct {
    Builder builder;
    const char* folder;
    const char* below_po;
  } cases[] = {
      {kResolve, "", "\\MAILROOT\\MB\\INBOX"},
      {kResolve, "\\Public\\Sales", "\\PUBROOT\\Sales"},
      {kResolve, "Publications", "\\MAILROOT\\MB\\Publications"},
      {kResolve, "$VCFROOT/Work", "\\VCFROOT\\Work"},
      {kResolve, "$vcfrootWork", "\\VCFROOT"},
      {kResolve, "$VCFROOT/Public", "\\VCFROOT\\Public"},  // the contact rule comes first
      {kResolve, "$FILEROOT/Docs", "\\FILEROOT\\MB\\Docs"},
      // No contact rule and no Inbox default.
      {kFolder, "", "\\MAILROOT\\MB\\"},
      {kFolder, "$VCFROOT/Work", "\\MAILROOT\\MB\\$VCFROOT/Work"},
      {kFolder, "\\$FILEROOT\\Docs", "\\FILEROOT\\MB\\Docs"},
      {kFolder, "$FILEROOTS", "\\MAILROOT\\MB\\$FILEROOTS"},
      {kFolder, "/Public/Sales", "\\PUBROOT\\Sales"},
      // Legacy folder texts name only forward-slash public subfolders.
      {kMessage, "Public/Sales", "\\PUBROOT\\Sales"},
      {kMessage, "Publications", "\\PUBROOT"},
      {kMessage, "\\Public/Sales", "\\MAILROOT\\MB\\Public/Sales"},
      {kHierarchy, "Inbox\\", "\\MAILROOT\\MB\\Inbox"},
      {kHierarchy, "/Sent/", "\\MAILROOT\\MB/Sent"},
      {kHierarchy, "$VCFROOT\\Work", "\\VCFROOT"},
      {kHierarchy, "$FILEROOT/Docs", "\\FILEROOT\\MB/Docs"},
      {kHierarchy, "Public/x", "\\PUBROOT\\x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Build(c.builder, c.folder), Po() + c.below_po) << static_cast<int>(c.builder) << " " << c.folder;
  }
  char out[kStorePathSize];
  const std::pair<const char*, const char*> blobs[] = {
      {"Public\\Sales", "\\PUBROOT\\A.MAI"}, {"/", "\\MAILROOT\\MB\\A.MAI"}};
  for (const auto& [folder, below_po] : blobs) {
    ASSERT_EQ(GetBlobFilePath(out, sizeof out, "PO", "MB", folder, "A.MAI"), 1u);
    EXPECT_EQ(std::string(out), Po() + below_po) << folder;
  }
  // The word counts only within the first two characters.
  EXPECT_TRUE(IsPublicFolderName("xPublic"));
  EXPECT_FALSE(IsPublicFolderName("//Public"));
}

TEST_F(StorePathsTest, ResolveCreatesOnlyTheFinalSpecialDirectory) {
  MakeDirs(Native("PO"));
  Build(Builder::kResolve, "$FILEROOT/Docs");  // R\PO\FILEROOT\MB is missing: Docs cannot be made
  Build(Builder::kHierarchy, "$VCFROOT");
  EXPECT_FALSE(Exists(Native("PO/FILEROOT")));
  EXPECT_FALSE(Exists(Native("PO/VCFROOT")));
  Build(Builder::kResolve, "$VCFROOT");
  EXPECT_TRUE(Exists(Native("PO/VCFROOT")));
  Build(Builder::kResolve, "\\Public\\Sales");
  EXPECT_FALSE(Exists(Native("PO/PUBROOT")));
}

TEST_F(StorePathsTest, IndexRuleCreatesEverySpecialRootOnTheWay) {
  MakeDirs(Native("PO/vcfroot"));
  EXPECT_EQ(Build(Builder::kIndex, "$FILEROOT/Docs"), Po() + "\\FILEROOT\\MB\\Docs");
  EXPECT_TRUE(Exists(Native("PO/FILEROOT/MB/Docs")));
  Build(Builder::kIndex, "\\Public\\Sales");
  EXPECT_TRUE(Exists(Native("PO/PUBROOT/Sales")));
  // An existing directory spelled otherwise is found, not duplicated.
  EXPECT_EQ(Build(Builder::kIndex, "$VCFROOT/Work"), Po() + "\\VCFROOT\\Work");
  EXPECT_TRUE(Exists(Native("PO/vcfroot/Work")));
  EXPECT_FALSE(Exists(Native("PO/VCFROOT")));
}

TEST_F(StorePathsTest, PublicFoldersSettingIsReadOnEveryCall) {
  SetPublicFolders(0);
  EXPECT_EQ(Build(Builder::kResolve, "\\Public\\Sales"), Po() + "\\MAILROOT\\MB\\\\Public\\Sales");
  EXPECT_EQ(Build(Builder::kMessage, "Public/Sales"), Po() + "\\MAILROOT\\MBPublic/Sales");
  EXPECT_EQ(Build(Builder::kHierarchy, "Public/Sales"), Po() + "\\MAILROOT\\MB\\Public/Sales");
  SetPublicFolders(1);
  EXPECT_EQ(Build(Builder::kResolve, "\\Public\\Sales"), Po() + "\\PUBROOT\\Sales");
  registry().Remove(kLibraryRootKey, "Public Folders Enabled");
  registry().Save();
  EXPECT_EQ(PublicFoldersEnabled(), 1u);  // unreadable counts as enabled
}

TEST_F(StorePathsTest, OverlongPathsAreRejectedOrCut) {
  const std::string long_folder(1100, 'f');
  char out[kStorePathSize];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(GetFolderDirectory(out, sizeof out, "PO", "MB", long_folder.c_str()), 0u);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(GetBlobFilePath(out, 64, "PO", "MB", "\\Inbox", long_folder.c_str()), 0u);
  EXPECT_STREQ(out, "");
  const std::string cut = Build(Builder::kResolve, long_folder.substr(0, 1000).c_str());
  EXPECT_EQ(cut, (Po() + "\\MAILROOT\\MB\\" + long_folder).substr(0, kStorePathSize - 1));
  // A hierarchy path formats its base and appends the folder, cutting it.
  EXPECT_EQ(GetHierarchyFolderPath(out, sizeof out, "PO", "MB", long_folder.c_str()), 1u);
  EXPECT_EQ(std::strlen(out), kStorePathSize - 1);
}

// The joins' bounds are what the builders' callers rely on: a formatted path
// of exactly limit - 1 bytes fits and one byte more is refused; a copied one
// is cut to size - 1 bytes.
TEST(StorePathJoinTest, JoinsKeepEachBound) {
  EXPECT_EQ(JoinStorePath("R\\PO", "MB"), "R\\PO\\MB");
  EXPECT_EQ(JoinStorePath("R\\PO\\", "MB", Separator::kPresent), "R\\PO\\MB");
  EXPECT_EQ(JoinStorePath("", "x"), "\\x");

  const std::string directory(10, 'd');
  EXPECT_EQ(JoinStorePathWithin(directory, "name", 16), directory + "\\name");
  EXPECT_EQ(JoinStorePathWithin(directory, "name", 15), "");
  EXPECT_EQ(JoinStorePathWithin(directory, "name", 15, Separator::kPresent), directory + "name");

  EXPECT_EQ(JoinStorePathCut(directory, "name", 16), directory + "\\name");
  EXPECT_EQ(JoinStorePathCut(directory, "name", 12), directory + "\\");
  EXPECT_EQ(JoinStorePathCut(directory, "name", 8), "ddddddd");
  EXPECT_EQ(JoinStorePathCut(directory, "name", 0), "");
}

TEST_F(StorePathsTest, PostofficeDirectoryRefillsAnEmptyMailRootAndDefaultsToPostoffices) {
  char out[kStorePathSize];
  Settings().mail_root[0] = '\0';
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_EQ(std::string(out), Po());
  // With no mail root value at all the library starts on "\POSTOFFICES".
  registry().Remove(kLibraryRootKey, "Mail Root");
  ReloadLibrary();
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_STREQ(out, "\\POSTOFFICES\\PO");
  EXPECT_EQ(Build(Builder::kResolve, ""), "\\POSTOFFICES\\PO\\MAILROOT\\MB\\INBOX");
}

// Custom postoffice roots come from the real option provider, loaded from
// "Application Directory" + "64".
TEST_F(StorePathsTest, OnlyPostofficeDirectoryBuildersHonourAnAllowedCustomRoot) {
  InstallSiblingLibrary("libqxaiso.so");
  const std::string options = root() + "/options.ini";
  setenv("QXSTORE_OPTIONS", options.c_str(), 1);
  WriteFile(options, "[Postoffice PO]\nPostofficeRoot=D:\\PO1\n");
  ReloadLibrary();
  char out[kStorePathSize];
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "PO"), 1u);
  EXPECT_EQ(std::string(out), Po());  // not allowed yet

  registry().SetDword(kLibraryRootKey, "Allow Custom Postoffice Paths", 1);
  ReloadLibrary();
  EXPECT_EQ(GetPostofficeDirectory(out, sizeof out, "po"), 1u);
  EXPECT_STREQ(out, "D:\\PO1");
  EXPECT_EQ(Build(Builder::kFolder, "Public/Sales"), "D:\\PO1\\PUBROOT\\Sales");
  EXPECT_EQ(Build(Builder::kResolve, "Inbox"), Po() + "\\MAILROOT\\MB\\Inbox");
  unsetenv("QXSTORE_OPTIONS");
}

}  // namespace
}  // namespace qx
