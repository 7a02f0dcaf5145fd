// The remote administration host program, run as a real process and driven
// through the library's own forwarding client.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "qxstore.h"
#include "remote/connection_socket.h"
#include "remote/forwarding.h"
#include "remote/forwarding_decision.h"
#include "remote/remote_connection.h"
#include "remote/remote_state.h"
#include "support/test_store.h"

namespace qx {
namespace {

const std::string kHosts =
    "HKEY_CURRENT_USER\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Administration\\Hosts\\";

class RemoteHostProgramTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    // The forwarding state is process-wide; start each test without a host.
    CloseRemoteSocket();
    Remote() = RemoteState{};
    std::string binary = std::string(QX_BINARY_DIR) + "/qxradms";
    if (access(binary.c_str(), X_OK) != 0) GTEST_SKIP() << "qxradms is not built";
    std::string secret_file = root() + "/secret";
    WriteFile(secret_file, "open sesame\n");
    ASSERT_EQ(StartHost(binary, secret_file), true);
    for (const char* name : {"Radms", "Intruder"}) {
      registry().SetString(kHosts + name, "Address", "127.0.0.1");
      registry().SetDword(kHosts + name, "Port", port_);
    }
    registry().SetString(kHosts + "Radms", "Credentials", "open sesame");
    registry().SetString(kHosts + "Intruder", "Credentials", "open sesame!");
    registry().Save();
  }

  void TearDown() override {
    if (child_ > 0) {
      CloseRemoteSocket();
      kill(child_, SIGTERM);
      int status = 0;
      EXPECT_EQ(waitpid(child_, &status, 0), child_);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    StoreTest::TearDown();
  }

  // Runs the host on a free port as its own program (so it never forwards)
  // and reads the port from its first line.
  bool StartHost(const std::string& binary, const std::string& secret_file) {
    int out[2];
    if (pipe(out) != 0) return false;
    child_ = fork();
    if (child_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      unsetenv("QXSTORE_PROGRAM");
      execl(binary.c_str(), "qxradms", "--address", "127.0.0.1", "--port", "0",
            "--credentials-file", secret_file.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    pollfd entry{out[0], POLLIN, 0};
    while (poll(&entry, 1, 10000) == 1 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    size_t colon = line.rfind(':');
    if (colon == std::string::npos) return false;
    port_ = static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1));
    return port_ != 0;
  }

  pid_t child_ = 0;
  uint16_t port_ = 0;
};

TEST_F(RemoteHostProgramTest, AuthenticatesLoadsStoreModulesAndAnswers) {
  SetCurrentHost("Radms");
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForward);
  EXPECT_EQ(Remote().connected_host, "Radms");
  EXPECT_EQ(Remote().loaded_library, kStoreProviderModule);
  EXPECT_EQ(RemotePing(), 1u);
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForward);

  // A function the host does not know gets a reply without a result.
  ForwardedCall unknown = ForwardedCallOf(ForwardedFunction::kFolderGet);
  unknown.function_text = "NoSuchFunction";
  uint8_t record[1540] = {1, 2, 3};
  EXPECT_EQ(ExchangeForwardedCall(unknown, record, nullptr), 0u);
  EXPECT_EQ(record[2], 3);

  EXPECT_EQ(RemoteAuthenticate("NOTASTOREMODULE.DLL"), 0u);
  EXPECT_EQ(Remote().loaded_library, kStoreProviderModule);
  EXPECT_EQ(PrepareRemoteCall(kCalendarProviderModule), kForward);
  EXPECT_EQ(Remote().loaded_library, kCalendarProviderModule);
}

TEST_F(RemoteHostProgramTest, RefusesOtherCredentials) {
  SetCurrentHost("Intruder");
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForward);
  EXPECT_EQ(Remote().loaded_library, "");
  EXPECT_EQ(RemoteLoadLibrary(kStoreProviderModule), 0u);
  EXPECT_EQ(RemoteAuthenticate(""), 0u);
  EXPECT_EQ(RemotePing(), 1u);
}

}  // namespace
}  // namespace qx
