// The TCP client of the platform layer: the original error numbers, the
// receive time-out, and socket numbers that are never 0.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/errors.h"
#include "platform/socket.h"

namespace qx::platform {
namespace {

TEST(PlatformSocket, TimeOutsAndLostPeersReportTheOriginalCodes) {
  uint16_t port = 0;
  SocketHandle listener = ListenTcp("127.0.0.1", 0, &port);
  ASSERT_NE(listener, 0);
  SocketHandle client = CreateTcpSocket();
  ASSERT_TRUE(ConnectIPv4(client, *ResolveIPv4("127.0.0.1"), port));
  SocketHandle server = AcceptTcp(listener, 2000);
  ASSERT_NE(server, 0);
  char buffer[16];
  ASSERT_TRUE(SetReceiveTimeout(client, 150));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReceiveBytes(client, buffer, sizeof buffer), -1);
  EXPECT_EQ(GetLastError(), kErrorTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));


  // A peer that goes away is an error, not a signal that ends the process.
  CloseSocket(server);
  EXPECT_EQ(ReceiveBytes(client, buffer, sizeof buffer), 0);
  int64_t sent = 0;
  for (int i = 0; i < 20 && sent >= 0; ++i, usleep(10000)) sent = SendBytes(client, "PING", 4);
  EXPECT_EQ(sent, -1);
  CloseSocket(client);

  CloseSocket(listener);
}

TEST(PlatformSocket, SocketNumberIsNeverZero) {
  // 0 means "no connection" to the callers, so descriptor 0 is never handed out.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(0);
    _exit(CreateTcpSocket() > 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace qx::platform
