#include "store/folder_flags.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/test_store.h"

namespace qx {
namespace {

class FolderFlagsTest : public test::StoreTest {
 protected:
  std::string folder() const { return mail_root() + "/PO/MAILROOT/alice/INBOX"; }
  std::string mailbox() const { return mail_root() + "/PO/MAILROOT/alice"; }

  std::set<std::string> FilesIn(const std::string& directory) const {
    std::set<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(directory)) {
      names.insert(item.path().filename().string());
    }
    return names;
  }
};

TEST_F(FolderFlagsTest, FindsAndConsumesFolderFlags) {
  // Never indexed and no flag: the folder counts as changed.
  MakeDirs(folder());
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kChanged, false), 1u);

  WriteFile(folder() + "/_index.xml", "<BASEELEMENT/>");
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kChanged, true), 0u);

  WriteFile(folder() + "/_change.dty", "x");
  WriteFile(folder() + "/_OTHER.DTY", "x");
  WriteFile(folder() + "/keep.dty", "x");
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kFolder, true), 0u);
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kChanged, false), 1u);
  EXPECT_TRUE(Exists(folder() + "/_change.dty"));
  EXPECT_EQ(CheckFolderFlags(folder() + "/", true, FolderFlag::kChanged, true), 1u);
  EXPECT_FALSE(Exists(folder() + "/_change.dty"));
  EXPECT_TRUE(Exists(folder() + "/_OTHER.DTY"));

  WriteFile(folder() + "/_FOLDER.DTY", "x");
  WriteFile(folder() + "/_CHANGE.DTY", "x");
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kAnyDirty, true), 1u);
  EXPECT_EQ(FilesIn(folder()), (std::set<std::string>{"_index.xml", "keep.dty"}));
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kAnyDirty, true), 0u);
}

TEST_F(FolderFlagsTest, ConsumesDeliveryFlagsKeepingTheHighestNumber) {
  MakeDirs(mailbox());
  EXPECT_EQ(ConsumeDeliveryFlags("PO", "alice"), 0);
  for (const char* name : {"_3.NEW", "_12.NEW", "_7.new", "_x.NEW", "_5.NEW.old", "mail.NEW"}) {
    WriteFile(mailbox() + "/" + name, "");
  }
  EXPECT_EQ(ConsumeDeliveryFlags("PO", "alice"), 12);
  EXPECT_EQ(FilesIn(mailbox()), (std::set<std::string>{"_5.NEW.old", "mail.NEW"}));
  EXPECT_EQ(ConsumeDeliveryFlags(MailboxDirectory("PO", "alice")), 0);

  WriteFile(mailbox() + "/_3.NEW", "");
  WriteFile(mailbox() + "/_7.NEW", "");
  EXPECT_EQ(ConsumeDeliveryFlags(MailboxDirectory("PO", "alice")), 7);
  EXPECT_FALSE(Exists(mailbox() + "/_3.NEW"));
  EXPECT_FALSE(Exists(mailbox() + "/_7.NEW"));
  EXPECT_EQ(ConsumeDeliveryFlags("PO", "nobody"), 0);
}

}  // namespace
}  // namespace qx
