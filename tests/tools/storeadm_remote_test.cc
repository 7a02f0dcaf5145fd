// storeadm forwarding to a remote administration host ("ForceDefaultHost"):
// a host it cannot use is a failure with its reason, never an empty answer.

#include <gtest/gtest.h>

#include <string>

#include "platform/socket.h"
#include "support/program_run.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

class StoreadmRemoteTest : public test::RemoteHostTest {
 protected:
  void UseDefaultHost(uint16_t port, const std::string& credentials, const std::string& address) {
    registry().SetDword(test::kAdministrationKey, "ForceDefaultHost", 1);
    AddHost("Default", port, credentials, address);
  }
  test::ProgramRun Storeadm(const std::string& arguments) {
    return test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm " + arguments + " 2>&1");
  }
};

// A port that was free a moment ago: nothing listens on it.
uint16_t ClosedPort() {
  uint16_t port = 0;
  platform::SocketHandle listener = platform::ListenTcp("127.0.0.1", 0, &port);
  platform::CloseSocket(listener);
  return port;
}

TEST_F(StoreadmRemoteTest, AHostItCannotUseFailsWithOneLineSayingWhy) {
  const uint16_t port = StartHostProgram("open sesame", {"--auth-delay-ms", "10"});
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  MakeDirs(mail_root() + "/PO/MAILROOT/MB/Inbox");

  const struct {
    uint16_t port;
    const char* credentials;
    const char* address;
    std::string reason;
  } cases[] = {
      {ClosedPort(), "open sesame", "127.0.0.1", "connection refused (10061)"},
      {port, "open sesame?", "127.0.0.1", "credentials refused"},
      {port, "open sesame", "no-such-host.invalid", "host name not found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    UseDefaultHost(c.port, c.credentials, c.address);
    for (const char* command : {"folders PO MB", "cat PO MB Inbox A.MAI"}) {
      test::ProgramRun run = Storeadm(command);
      EXPECT_EQ(run.exit_code, 1) << command << ": " << run.output;
      EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line: " << run.output;
      EXPECT_EQ(run.output.rfind("storeadm: remote host \"Default\" at ", 0), 0u) << run.output;
      EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
    }
  }

  // The same command through a host it can use.
  UseDefaultHost(port, "open sesame", "127.0.0.1");
  test::ProgramRun run = Storeadm("folders PO MB");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("  Inbox\n"), std::string::npos) << run.output;

  // A command that does its work here says so, and one whose halves would
  // part (files here, provider entries there) refuses.
  run = Storeadm("paths PO MB Inbox");
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("storeadm: paths ran on this machine"), std::string::npos)
      << run.output;
  run = Storeadm("calendar add PO MB 2024-01-01T10:00 2024-01-01T11:00 x");
  EXPECT_EQ(run.exit_code, 1) << run.output;
  EXPECT_EQ(run.output, "storeadm: calendar runs on this machine only\n");
  EXPECT_NE(Storeadm("paths --help").output.find("Runs on this machine only"), std::string::npos);
  EXPECT_NE(Storeadm("config").output.find("127.0.0.1:" + std::to_string(port) + ", credentials set"),
            std::string::npos);
  EXPECT_NE(Storeadm("cat --help").output.find("Takes --host NAME"), std::string::npos);
}

}  // namespace
}  // namespace qx
