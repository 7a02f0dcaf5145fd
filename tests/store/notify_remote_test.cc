#include <gtest/gtest.h>

#include <string>

#include "frame/lifecycle.h"
#include "notify_listener.h"
#include "platform/library_loader.h"
#include "support/test_store.h"

namespace qx {
namespace {

const std::string kNotifyKey = std::string(test::kLibraryRootKey) + "\\Notify";

class NotifyRemoteTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    library_ = platform::LoadLibrary(std::string(QX_BINARY_DIR) + "/libqxainfy.so");
    ASSERT_NE(library_, nullptr);
    notify_ = reinterpret_cast<NotifyRemoteFunction>(
        platform::GetProcAddress(library_, "NotifyRemote"));
    ASSERT_NE(notify_, nullptr);
  }
  void TearDown() override {
    platform::FreeLibrary(library_);
    StoreTest::TearDown();
  }

  void PlaceServer(const std::string& server, const char* protocol, uint16_t port) {
    registry().SetString(kNotifyKey + "\\Servers\\" + server, "Address", "127.0.0.1");
    if (port != 0) {
      registry().SetDword(kNotifyKey + "\\Servers\\" + server, std::string(protocol) + " Port",
                          port);
    }
    registry().Save();
  }

  platform::LibraryHandle library_ = nullptr;
  NotifyRemoteFunction notify_ = nullptr;
};

TEST_F(NotifyRemoteTest, SendsTheWholeMessageToTheServersPort) {
  test::NotifyListener general(2);
  test::NotifyListener own(1);
  ASSERT_TRUE(general.listening() && own.listening());
  registry().SetDword(kNotifyKey, "IMAP Port", general.port());
  PlaceServer("MAIL1", "IMAP", 0);
  PlaceServer("MAIL2", "IMAP", own.port());

  std::string large(200000, 'q');
  EXPECT_EQ(notify_("MAIL1", "IMAP", "[QX_NOTIFY]\t1\tS\tCOMMIT\r\n\r\n"), 0);
  EXPECT_EQ(notify_("mail1", "imap", large.c_str()), 0);
  EXPECT_EQ(notify_("MAIL2", "IMAP", "to mail2"), 0);
  EXPECT_EQ(general.Stop(),
            (std::vector<std::string>{"[QX_NOTIFY]\t1\tS\tCOMMIT\r\n\r\n", large}));
  EXPECT_EQ(own.Stop(), std::vector<std::string>{"to mail2"});
}

TEST_F(NotifyRemoteTest, FailsWhenTheServerCannotBeReached) {
  PlaceServer("DEAD", "IMAP", test::ClosedLoopbackPort());
  EXPECT_EQ(notify_("DEAD", "IMAP", "x"), 4);
  // No port configured: IMAP has a well-known one (nothing listens on
  // 127.0.0.1:143 here), an unknown protocol has none.
  PlaceServer("LOCAL", "IMAP", 0);
  EXPECT_EQ(notify_("LOCAL", "IMAP", "x"), 4);
  EXPECT_EQ(notify_("LOCAL", "GOPHER", "x"), 2);
  EXPECT_EQ(notify_("no-such-host.invalid", "IMAP", "x"), 3);
  EXPECT_EQ(notify_(nullptr, "IMAP", "x"), 1);
  EXPECT_EQ(notify_("LOCAL", "", "x"), 1);
  EXPECT_EQ(notify_("Servers\\LOCAL", "IMAP", "x"), 1);
}

}  // namespace
}  // namespace qx
