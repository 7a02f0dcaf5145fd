// Guessing the remote administration host's secret: failed AUTHs wait,
// three close the connection, an address with too many failures is refused
// unchecked, and every attempt is in the system log in the form the
// packaged fail2ban filter matches.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "remote/raw_client.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

using Clock = std::chrono::steady_clock;
using test::AuthMessage;
using test::RawClient;

// The packaged filter's failregex, with fail2ban's own parts spelled out:
// the syslog prefix up to "qxradms[pid]: ", and <HOST> as a capture.
std::regex Fail2banExpression() {
  std::ifstream filter(std::string(QX_SOURCE_DIR) + "/packaging/fail2ban/qxradms.conf");
  std::string line;
  while (std::getline(filter, line) && line.rfind("failregex = ", 0) != 0) {
  }
  std::string expression = line.substr(std::string("failregex = ").size());
  expression.replace(expression.find("^%(__prefix_line)s"), 18, R"(^<\d+>.{15} qxradms\[\d+\]: )");
  expression.replace(expression.find("<HOST>"), 6, R"((\S+))");
  return std::regex(expression);
}

class RemoteHostAuthTest : public test::RemoteHostTest {};

TEST_F(RemoteHostAuthTest, GuessesWaitCloseAfterThreeLockTheAddressOutAndAreLogged) {
  constexpr int kBaseDelayMs = 25;
  const uint16_t port = StartHostProgram(
      "open sesame", {"--auth-delay-ms", std::to_string(kBaseDelayMs), "--auth-limit", "4",
                      "--login-timeout", "1"});
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  const std::string pid = "qxradms[" + std::to_string(host_pid()) + "]: ";

  // 100 wrong secrets in one go: three answers, each after its wait, then the close.
  RawClient guesser(port);
  ASSERT_TRUE(guesser.connected());
  std::string guesses;
  for (int i = 0; i < 100; ++i) guesses += AuthMessage("guess " + std::to_string(i));
  const auto start = Clock::now();
  ASSERT_TRUE(guesser.Send(guesses));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(guesser.Reply(), "<DATA><STATUS>FAILURE</STATUS></DATA>") << "answer " << i;
  }
  EXPECT_EQ(guesser.Reply(), "") << "closed after the third";
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(kBaseDelayMs * (1 + 2 + 4)));

  const std::string guesser_name = "127.0.0.1 port " + std::to_string(guesser.local_port());
  std::vector<std::string> failures = host_log().RecordsWith("AUTH failed from " + guesser_name, 3);
  ASSERT_EQ(failures.size(), 3u);
  const std::regex fail2ban = Fail2banExpression();
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(failures[i]);
    EXPECT_EQ(failures[i].rfind("<84>", 0), 0u) << "authpriv, warning";
    EXPECT_NE(failures[i].find(pid + "AUTH failed from " + guesser_name + " (failure " +
                               std::to_string(i + 1) + " of 3 on this connection)"),
              std::string::npos);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(failures[i], match, fail2ban));
    EXPECT_EQ(match[1], "127.0.0.1");
  }
  EXPECT_EQ(host_log().RecordsWith("connection from " + guesser_name + " opened", 1).size(), 1u);
  auto closed = host_log().RecordsWith("connection from " + guesser_name + " closed", 1);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_NE(closed[0].find("<30>"), std::string::npos) << "daemon, info";
  EXPECT_NE(closed[0].find("closed: 3 failed AUTHs"), std::string::npos) << closed[0];
  for (const std::string& record : host_log().Records()) {
    EXPECT_EQ(record.find("guess"), std::string::npos) << "no credential is logged: " << record;
  }

  // The fourth failure from the address locks it out: even the right secret
  // is refused, unchecked, until it has been quiet for ten minutes.
  RawClient again(port);
  ASSERT_TRUE(again.Send(AuthMessage("guess again")));
  EXPECT_EQ(again.Reply(), "<DATA><STATUS>FAILURE</STATUS></DATA>");
  ASSERT_TRUE(again.Send(AuthMessage("open sesame")));
  EXPECT_EQ(again.Reply(), "<DATA><STATUS>FAILURE</STATUS></DATA>");
  const std::string again_name = "127.0.0.1 port " + std::to_string(again.local_port());
  auto refused = host_log().RecordsWith("AUTH refused from " + again_name, 1);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find(": too many failures from this address"), std::string::npos);
  EXPECT_TRUE(std::regex_search(refused[0], fail2ban));
  EXPECT_TRUE(host_log().RecordsWith("AUTH accepted", 0, 0).empty());

  // A connection that never logs in is closed at the login time-out.
  RawClient idle(port);
  const auto idle_start = Clock::now();
  EXPECT_TRUE(idle.ClosedByHost(5000));
  EXPECT_GE(Clock::now() - idle_start, std::chrono::milliseconds(900));
  EXPECT_EQ(host_log()
                .RecordsWith("127.0.0.1 port " + std::to_string(idle.local_port()) +
                                 " closed: no successful AUTH within 1 s",
                             1)
                .size(),
            1u);
}

}  // namespace
}  // namespace qx
