#include <unistd.h>

#include <string>

#include "qxstore.h"
#include "store/postoffice_size.h"
#include "support/test_store.h"

namespace qx {
namespace {

// The real provider, reachable as "<root>/app64/libqxaipo.so" with
// "Application Directory" set to "<root>/app".
class PostofficeSizeTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(root() + "/app64");
    const std::string plugin = std::string(QX_BINARY_DIR) + "/libqxaipo.so";
    ASSERT_TRUE(Exists(plugin)) << "build the plugin_postoffice target";
    ASSERT_EQ(symlink(plugin.c_str(), (root() + "/app64/libqxaipo.so").c_str()), 0);
    registry().SetString(test::kLibraryRootKey, "Application Directory", root() + "/app");
    ReloadLibrary();
    mailroot_ = mail_root() + "/PO/MAILROOT";
  }

  void Message(const std::string& mailbox, const std::string& name, size_t bytes) {
    MakeDirs(mailroot_ + "/" + mailbox + "/Inbox");
    WriteFile(mailroot_ + "/" + mailbox + "/Inbox/" + name, std::string(bytes, 'x'));
  }

  std::string mailroot_;
};

TEST_F(PostofficeSizeTest, TotalAddsWholeMailboxSizesIgnoringQuotaAndMode) {
  Message("alice", "a.MAI", 3072);
  MakeDirs(mailroot_ + "/alice/Sent");
  WriteFile(mailroot_ + "/alice/Sent/b.MAI", std::string(2048, 'y'));
  Message("bob", "a.MAI", 10240);
  WriteFile(mailroot_ + "/bob/_QUOTA.TXT", "1");  // the walk stops early, still counted
  Message("_system", "a.MAI", 50000);  // not a mailbox
  Message("carol", "a.MAI", 1024);
  WriteFile(mailroot_ + "/carol/_index.blk", "");  // another process computes: counted as 0

  EXPECT_EQ(GetPostofficeSize("PO"), 5u + 10u);
  EXPECT_EQ(ReadFile(mailroot_ + "/alice/_DIRSIZE.TMP"), "5");
  EXPECT_TRUE(Exists(mailroot_ + "/carol/_index.blk"));
}

// A relative "Application Directory" would load whatever lies below the
// current directory: the provider is not loaded from there.
TEST_F(PostofficeSizeTest, NoProviderIsLoadedFromARelativeApplicationDirectory) {
  Message("alice", "a.MAI", 3072);
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(root().c_str()), 0);
  registry().SetString(test::kLibraryRootKey, "Application Directory", "app");
  registry().Save();
  EXPECT_EQ(GetPostofficeSize("PO"), 0u);
  registry().SetString(test::kLibraryRootKey, "Application Directory", root() + "/app");
  registry().Save();
  EXPECT_EQ(GetPostofficeSize("PO"), 3u);
  ASSERT_EQ(chdir(previous), 0);
}

}  // namespace
}  // namespace qx
