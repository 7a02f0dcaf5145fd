#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "qxstore.h"
#include "store/postoffice_provider.h"
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

TEST_F(PostofficeSizeTest, ProviderListsMailboxesWithTheirQuotas) {
  Message("bob", "a.MAI", 10);
  Message("Alice", "a.MAI", 10);
  Message("_system", "a.MAI", 10);  // not a mailbox
  WriteFile(mailroot_ + "/stray.txt", "");
  WriteFile(mailroot_ + "/bob/_QUOTA.TXT", "20480\n");

  PostofficeProvider provider;
  ASSERT_TRUE(provider.valid());
  MAILBOXSIZE record;
  PrepareMailboxRecord(&record, "po");
  EXPECT_EQ(record.enabled, 0xFFFFFFFFu);
  EXPECT_EQ(record.quota_kb, -1);
  ASSERT_EQ(provider.FindFirst(&record), 1);
  EXPECT_STREQ(record.mailbox, "Alice");
  EXPECT_EQ(record.enabled, 1u);
  EXPECT_EQ(record.quota_kb, 0);
  PrepareMailboxRecord(&record, "po");
  ASSERT_EQ(provider.FindNext(&record), 1);
  EXPECT_STREQ(record.mailbox, "bob");
  EXPECT_EQ(record.quota_kb, 20480);
  EXPECT_EQ(provider.FindNext(&record), 0);
  PrepareMailboxRecord(&record, "NOSUCHPO");
  EXPECT_EQ(provider.FindFirst(&record), 0);
}

TEST_F(PostofficeSizeTest, TotalAddsWholeMailboxSizesIgnoringQuotaAndMode) {
  Message("alice", "a.MAI", 3072);
  MakeDirs(mailroot_ + "/alice/Sent");
  WriteFile(mailroot_ + "/alice/Sent/b.MAI", std::string(2048, 'y'));
  Message("bob", "a.MAI", 10240);
  WriteFile(mailroot_ + "/bob/_QUOTA.TXT", "1");  // the walk stops early, still counted
  Message("carol", "a.MAI", 1024);
  WriteFile(mailroot_ + "/carol/_index.blk", "");  // another process computes: counted as 0

  EXPECT_EQ(GetPostofficeSize("PO"), 5u + 10u);
  EXPECT_EQ(ReadFile(mailroot_ + "/alice/_DIRSIZE.TMP"), "5");
  EXPECT_TRUE(Exists(mailroot_ + "/carol/_index.blk"));
}

TEST_F(PostofficeSizeTest, MissingProviderGivesZero) {
  std::remove((root() + "/app64/libqxaipo.so").c_str());
  Message("alice", "a.MAI", 3072);
  EXPECT_EQ(GetPostofficeSize("PO"), 0u);
}

}  // namespace
}  // namespace qx
