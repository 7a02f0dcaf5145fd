// Directory operations of the older flat interface and the process's folder
// listing.

#include "legacy/legacy_folders.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "qxstore.h"
#include "qxstore_record_text.h"
#include "support/test_store.h"

namespace qx {
namespace {

using Names = std::vector<std::string>;

std::unique_ptr<FOLDERRECORD> Folder(const std::string& directory, const std::string& name = "") {
  auto folder = std::make_unique<FOLDERRECORD>();
  std::memset(folder.get(), 0, sizeof *folder);
  SetRecordText(folder->directory, directory);
  SetRecordText(folder->name, name);
  return folder;
}

class LegacyFoldersTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    FolderFindClose(nullptr);
    parent_ = root() + "/parent";
    MakeDirs(parent_);
  }

  // Every name the folder listing of `directory` gives.
  Names FindAll(const std::string& directory) {
    Names names;
    auto folder = Folder(directory);
    for (uint32_t more = FolderFindFirst(folder.get()); more == 1; more = FolderFindNext(folder.get())) {
      names.push_back(folder->name);
    }
    return names;
  }

  std::string parent_;
};

TEST_F(LegacyFoldersTest, AddRemoveAndEditWorkOnDirectoryBackslashName) {
  auto work = Folder(parent_, "Work");
  EXPECT_NE(FolderAdd(work.get()), 0u);
  EXPECT_TRUE(Exists(parent_ + "/Work"));
  EXPECT_EQ(FolderAdd(Folder(parent_ + "/none", "Deep").get()), 0u) << "one level only";

  WriteFile(parent_ + "/Work/A.MAI", "kept");
  EXPECT_EQ(FolderRemove(work.get()), 0u) << "not empty";
  auto other = Folder(root(), "Moved");
  EXPECT_NE(FolderEdit(work.get(), other.get()), 0u);
  EXPECT_EQ(ReadFile(root() + "/Moved/A.MAI"), "kept");
  std::remove((root() + "/Moved/A.MAI").c_str());
  EXPECT_NE(FolderRemove(other.get()), 0u);
  EXPECT_FALSE(Exists(root() + "/Moved"));

  // 1022 bytes of directory leave no room for "\x": nothing may be created
  // under a cut path, and unterminated fields are read to their end.
  auto cut = Folder(parent_ + "/" + std::string(1022 - parent_.size() - 1, 'd'), "x");
  EXPECT_EQ(FolderAdd(cut.get()), 0u);
  EXPECT_EQ(FolderFindFirst(cut.get()), 0u);
  auto full = Folder("");
  std::memset(full->directory, 'a', sizeof full->directory);
  std::memset(full->name, 'b', sizeof full->name);
  EXPECT_EQ(FolderEdit(full.get(), nullptr), 0u);
  EXPECT_EQ(FindAll(parent_), (Names{".", ".."}));
}

TEST_F(LegacyFoldersTest, OneListingPerProcessOfNamesWithoutAnExtension) {
  WriteFile(parent_ + "/report.txt", "r");
  MakeDirs(parent_ + "/Sub");
  MakeDirs(parent_ + "/archive.2020");
  WriteFile(parent_ + "/README", "r");
  EXPECT_EQ(FindAll(parent_), (Names{".", "..", "README", "Sub"}));

  // The listing is followed whatever directory the next record names.
  auto folder = Folder(parent_);
  ASSERT_EQ(FolderFindFirst(folder.get()), 1u);
  auto elsewhere = Folder("/somewhere/else");
  ASSERT_EQ(FolderFindNext(elsewhere.get()), 1u);
  EXPECT_STREQ(elsewhere->name, "..");
}

}  // namespace
}  // namespace qx
