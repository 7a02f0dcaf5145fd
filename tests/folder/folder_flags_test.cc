#include "folder/folder_flags.h"

#include <filesystem>
#include <set>

#include "support/folder_test_fixture.h"
#include "qxstore.h"

namespace qx {
namespace {

class FolderFlagsTest : public test::FolderTest {
 protected:
  std::string folder() const { return MailboxDir() + "/INBOX"; }
  static std::set<std::string> FilesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(directory)) {
      names.insert(item.path().filename().string());
    }
    return names;
  }
};

TEST_F(FolderFlagsTest, FindsAndConsumesFolderFlagsInAnyCase) {
  // Never indexed and no flag: the folder counts as changed.
  MakeDirs(folder());
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kChanged, false), 1u);
  WriteFile(folder() + "/_index.xml", "<BASEELEMENT/>");
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kChanged, true), 0u);

  for (const char* name : {"_change.dty", "_OTHER.DTY", "keep.dty"}) {
    WriteFile(folder() + "/" + name, "x");
  }
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kFolder, true), 0u);
  EXPECT_EQ(CheckFolderFlags(folder() + "/", true, FolderFlag::kChanged, true), 1u);
  EXPECT_FALSE(Exists(folder() + "/_change.dty"));

  WriteFile(folder() + "/_FOLDER.DTY", "x");
  WriteFile(folder() + "/_CHANGE.DTY", "x");
  EXPECT_EQ(CheckFolderFlags(folder(), false, FolderFlag::kAnyDirty, true), 1u);
  EXPECT_EQ(FilesIn(folder()), (std::set<std::string>{"_index.xml", "keep.dty"}));
}

TEST_F(FolderFlagsTest, TheDeliveredCountIsTheHighestDeliveryFlagAndConsumesThem) {
  for (const char* name :
       {"_3.NEW", "_12.NEW", "_7.new", "_x.NEW", "_5.NEW.old", "mail.NEW", "_9.DTY"}) {
    WriteFile(MailboxDir() + "/" + name, "");
  }
  STOREFOLDER record = Record("\\Inbox", "");
  EXPECT_EQ(StoreGetDeliveredMessageCount(&record), 12u);
  EXPECT_EQ(FilesIn(MailboxDir()), (std::set<std::string>{"_5.NEW.old", "mail.NEW", "_9.DTY"}));
  EXPECT_EQ(StoreGetDeliveredMessageCount(&record), 0u);
}

TEST_F(FolderFlagsTest, MarkFolderChangedWritesTheFlagText) {
  MakeDirs(folder());
  WriteFile(folder() + "/_CHANGE.DTY", std::string(200, 'x'));
  EXPECT_EQ(MarkFolderChanged((mail_root() + "\\PO\\MAILROOT\\MB\\INBOX").c_str()), 1u);
  EXPECT_EQ(ReadFile(folder() + "/_CHANGE.DTY"),
            "This file is a flag file that denotes that this folder has been changed");
}

}  // namespace
}  // namespace qx
