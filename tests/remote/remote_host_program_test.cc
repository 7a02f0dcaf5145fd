// The remote administration host program, run as a real process and driven
// through the library's own forwarding client.

#include <gtest/gtest.h>

#include "remote/forwarding.h"
#include "remote/forwarding_decision.h"
#include "remote/remote_connection.h"
#include "remote/remote_state.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

using RemoteHostProgramTest = test::RemoteHostTest;

TEST_F(RemoteHostProgramTest, AuthenticatesLoadsModulesAndRefusesOthers) {
  const uint16_t port = StartHostProgram("open sesame");
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  AddHost("Radms", port, "open sesame");
  AddHost("Intruder", port, "open sesame!");

  // Other credentials: connected, but nothing is loaded.
  SetCurrentHost("Intruder");
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForward);
  EXPECT_EQ(Remote().loaded_library, "");
  EXPECT_EQ(RemoteLoadLibrary(kStoreProviderModule), 0u);

  SetCurrentHost("Radms");
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForward);
  EXPECT_EQ(Remote().connected_host, "Radms");
  EXPECT_EQ(Remote().loaded_library, kStoreProviderModule);
  // A function the host does not know gets a reply without a result.
  ForwardedCall unknown = ForwardedCallOf("FolderGet");
  unknown.function_text = "NoSuchFunction";
  uint8_t record[1540] = {1, 2, 3};
  EXPECT_EQ(ExchangeForwardedCall(unknown, record, nullptr), 0u);
  EXPECT_EQ(record[2], 3);
  EXPECT_EQ(RemoteAuthenticate("NOTASTOREMODULE.DLL"), 0u);
  EXPECT_EQ(Remote().loaded_library, kStoreProviderModule);
  EXPECT_EQ(PrepareRemoteCall(kCalendarProviderModule), kForward);
  EXPECT_EQ(Remote().loaded_library, kCalendarProviderModule);
}

}  // namespace
}  // namespace qx
