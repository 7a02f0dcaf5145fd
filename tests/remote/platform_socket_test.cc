// The TCP client of the platform layer: the original error numbers, the
// receive time-out, non-blocking reads, and socket numbers that are never 0.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/errors.h"
#include "platform/socket.h"

namespace qx::platform {
namespace {

struct Pair {
  SocketHandle listener = 0;
  SocketHandle client = 0;
  SocketHandle server = 0;
  ~Pair() {
    CloseSocket(client);
    CloseSocket(server);
    CloseSocket(listener);
  }
};

void Connect(Pair& pair) {
  uint16_t port = 0;
  pair.listener = ListenTcp("127.0.0.1", 0, &port);
  ASSERT_NE(pair.listener, 0);
  ASSERT_NE(port, 0);
  pair.client = CreateTcpSocket();
  ASSERT_NE(pair.client, 0);
  auto address = ResolveIPv4("127.0.0.1");
  ASSERT_TRUE(address.has_value());
  ASSERT_TRUE(ConnectIPv4(pair.client, *address, port));
  pair.server = AcceptTcp(pair.listener, 2000);
  ASSERT_NE(pair.server, 0);
}

TEST(PlatformSocket, TimeOutsAndNonBlockingReadsReportTheOriginalCodes) {
  Pair pair;
  Connect(pair);
  char buffer[16];
  ASSERT_TRUE(SetReceiveTimeout(pair.client, 150));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReceiveBytes(pair.client, buffer, sizeof buffer), -1);
  EXPECT_EQ(GetLastError(), kErrorTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));

  ASSERT_TRUE(SetNonBlocking(pair.client, true));
  EXPECT_EQ(ReceiveBytes(pair.client, buffer, sizeof buffer), -1);
  EXPECT_EQ(GetLastError(), kErrorWouldBlock);
  ASSERT_EQ(SendBytes(pair.server, "hello", 5), 5);
  ASSERT_TRUE(WaitReadable(pair.client, 2000));
  EXPECT_EQ(ReceiveBytes(pair.client, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "hel");
  ASSERT_TRUE(SetNonBlocking(pair.client, false));
  EXPECT_EQ(ReceiveBytes(pair.client, buffer, sizeof buffer), 2);
  EXPECT_EQ(std::string(buffer, 2), "lo");

  EXPECT_EQ(AcceptTcp(pair.listener, 50), 0);
  EXPECT_EQ(GetLastError(), kErrorTimedOut);
}

TEST(PlatformSocket, PeerThatGoesAwayIsAnErrorNotASignal) {
  Pair pair;
  Connect(pair);
  CloseSocket(pair.server);
  pair.server = 0;
  char buffer[16];
  EXPECT_EQ(ReceiveBytes(pair.client, buffer, sizeof buffer), 0);
  int64_t sent = 0;
  for (int i = 0; i < 20 && sent >= 0; ++i) {
    sent = SendBytes(pair.client, "PING", 4);
    usleep(10000);
  }
  EXPECT_EQ(sent, -1);
  EXPECT_NE(GetLastError(), 0u);
}

TEST(PlatformSocket, NamesAndRefusedConnections) {
  EXPECT_EQ(ResolveIPv4("127.0.0.1"), htonl(INADDR_LOOPBACK));
  EXPECT_TRUE(ResolveIPv4("localhost").has_value());
  EXPECT_FALSE(ResolveIPv4("no-such-host.invalid").has_value());
  EXPECT_EQ(GetLastError(), kErrorHostNotFound);
  EXPECT_FALSE(ResolveIPv4("").has_value());

  uint16_t port = 0;
  SocketHandle listener = ListenTcp("127.0.0.1", 0, &port);
  ASSERT_NE(listener, 0);
  CloseSocket(listener);
  SocketHandle client = CreateTcpSocket();
  EXPECT_FALSE(ConnectIPv4(client, htonl(INADDR_LOOPBACK), port));
  EXPECT_NE(GetLastError(), 0u);
  CloseSocket(client);
  EXPECT_EQ(ListenTcp("not an address", 0, nullptr), 0);
}

TEST(PlatformSocket, SocketNumberIsNeverZero) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(0);
    SocketHandle socket = CreateTcpSocket();
    _exit(socket > 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace qx::platform
