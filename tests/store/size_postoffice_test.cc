#include <unistd.h>

#include <string>

#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/library_loader.h"
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
    InstallSiblingLibrary("libqxaipo.so");
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

// The per-mailbox lines are diagnostics: QXSTORE_DIAG=off silences them.
TEST_F(PostofficeSizeTest, MailboxLinesFollowTheDiagnosticsSetting) {
  Message("alice", "a.MAI", 2048);
  setenv("QXSTORE_DIAG", "stdout", 1);
  platform::ReloadDiagnosticsSettings();
  testing::internal::CaptureStdout();
  EXPECT_EQ(GetPostofficeSize("PO"), 2u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "alice : 2\n");

  setenv("QXSTORE_DIAG", "off", 1);
  platform::ReloadDiagnosticsSettings();
  testing::internal::CaptureStdout();
  EXPECT_EQ(GetPostofficeSize("PO"), 2u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// The provider links the platform layer this process runs on rather than a
// copy of its own: a fault armed here fails its quota read, and it resolves
// postoffices with the settings the store read at its start.
TEST_F(PostofficeSizeTest, TheProviderSharesTheStoresPlatformLayer) {
  Message("alice", "a.MAI", 1024);
  WriteFile(mailroot_ + "/alice/_QUOTA.TXT", "20480");
  platform::LibraryHandle provider = platform::LoadLibrary(PostofficeProviderPath());
  ASSERT_NE(provider, nullptr);
  auto find_first = reinterpret_cast<MailboxFindEntry>(
      platform::GetProcAddress(provider, "MailboxFindFirst"));
  ASSERT_NE(find_first, nullptr);
  MAILBOXSIZE mailbox;
  const auto first_quota = [&] {
    PrepareMailboxRecord(&mailbox, "PO");
    return find_first(&mailbox) == 1 ? mailbox.quota_kb : -1;
  };
  EXPECT_EQ(first_quota(), 20480);

  platform::InjectFault(platform::FaultOp::kOpen, "_QUOTA.TXT", platform::kErrorAccessDenied, -1);
  EXPECT_EQ(first_quota(), 0);
  platform::ClearFaults();

  // A mail root moved in the registry is not followed until the store reads
  // its settings again, and neither is it by the provider.
  registry().SetString(test::kLibraryRootKey, "Mail Root", root() + "/elsewhere");
  registry().Save();
  EXPECT_EQ(first_quota(), 20480);
  EXPECT_STREQ(mailbox.mailbox, "alice");
  ReloadLibrary();
  EXPECT_EQ(first_quota(), -1);
  platform::FreeLibrary(provider);
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
