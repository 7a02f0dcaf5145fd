#include "folder/folder_flags.h"

#include <sys/wait.h>
#include <unistd.h>

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

// Two delivery agents raising flags at once: every delivery leaves a flag
// of its own, numbered on from the newest, and the count sees them all.
TEST_F(FolderFlagsTest, DeliveriesRaisedAtOnceEachGetTheirOwnFlag) {
  MakeDirs(MailboxDir());
  WriteFile(MailboxDir() + "/_x.NEW", "");
  WriteFile(MailboxDir() + "/_9.DTY", "");
  constexpr int kEach = 30;
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    bool raised = true;
    for (int i = 0; i < kEach; ++i) raised = RaiseDeliveryFlag(MailboxDir()) && raised;
    _exit(raised ? 0 : 1);
  }
  for (int i = 0; i < kEach; ++i) EXPECT_TRUE(RaiseDeliveryFlag(MailboxDir()));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::set<std::string> expected{"_x.NEW", "_9.DTY"};
  for (int n = 1; n <= 2 * kEach; ++n) expected.insert("_" + std::to_string(n) + ".NEW");
  EXPECT_EQ(FilesIn(MailboxDir()), expected);
  EXPECT_EQ(NewestDeliveryFlag(MailboxDir()), 2 * kEach);
  STOREFOLDER record = Record("\\Inbox", "");
  EXPECT_EQ(StoreGetDeliveredMessageCount(&record), static_cast<uint32_t>(2 * kEach));
  EXPECT_EQ(NewestDeliveryFlag(MailboxDir()), 0);
}

}  // namespace
}  // namespace qx
