#include <gtest/gtest.h>

#include <string>

#include "frame/lifecycle.h"
#include "notify_listener.h"
#include "platform/library_loader.h"
#include "support/test_store.h"

namespace qx {
namespace {

const std::string kNotifyKey = std::string(test::kLibraryRootKey) + "\\Notify";

using NotifyRemoteTest = test::StoreTest;

// The notifier plugin itself: a server's own port or the general one, the
// whole message, and an error for each way a server cannot be reached.
TEST_F(NotifyRemoteTest, SendsTheWholeMessageToTheServersPortOrSaysWhyNot) {
  platform::LibraryHandle library = platform::LoadLibrary(std::string(QX_BINARY_DIR) + "/libqxainfy.so");
  ASSERT_NE(library, nullptr);
  auto notify = reinterpret_cast<NotifyRemoteFunction>(platform::GetProcAddress(library, "NotifyRemote"));
  ASSERT_NE(notify, nullptr);
  test::NotifyListener general(2);
  test::NotifyListener own(1);
  ASSERT_TRUE(general.listening() && own.listening());
  registry().SetDword(kNotifyKey, "IMAP Port", general.port());
  for (const char* server : {"MAIL1", "MAIL2", "DEAD"}) {
    registry().SetString(kNotifyKey + "\\Servers\\" + server, "Address", "127.0.0.1");
  }
  registry().SetDword(kNotifyKey + "\\Servers\\MAIL2", "IMAP Port", own.port());
  registry().SetDword(kNotifyKey + "\\Servers\\DEAD", "IMAP Port", test::ClosedLoopbackPort());
  registry().Save();

  const std::string large(200000, 'q');
  EXPECT_EQ(notify("MAIL1", "IMAP", "[QX_NOTIFY]\t1\tS\tCOMMIT\r\n\r\n"), 0);
  EXPECT_EQ(notify("mail1", "imap", large.c_str()), 0);
  EXPECT_EQ(notify("MAIL2", "IMAP", "to mail2"), 0);
  EXPECT_EQ(general.Stop(), (std::vector<std::string>{"[QX_NOTIFY]\t1\tS\tCOMMIT\r\n\r\n", large}));
  EXPECT_EQ(own.Stop(), std::vector<std::string>{"to mail2"});

  EXPECT_EQ(notify("DEAD", "IMAP", "x"), 4);
  EXPECT_EQ(notify("MAIL1", "GOPHER", "x"), 2);  // no port for an unknown protocol
  EXPECT_EQ(notify("no-such-host.invalid", "IMAP", "x"), 3);
  EXPECT_EQ(notify(nullptr, "IMAP", "x"), 1);
  EXPECT_EQ(notify("MAIL1", "", "x"), 1);
  EXPECT_EQ(notify("Servers\\MAIL1", "IMAP", "x"), 1);
  platform::FreeLibrary(library);
}

}  // namespace
}  // namespace qx
