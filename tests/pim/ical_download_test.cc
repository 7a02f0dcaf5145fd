// Calendar feeds fetched from web servers started by the test: the answers
// real servers give (with and without a length, chunked, redirected, error
// pages), the ones broken servers give (cut short, silent, too large), and
// HTTPS with a certificate made for the test and trusted through the
// settings.

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "pim/ical_feed.h"
#include "pim/ical_property.h"
#include "qxstore.h"
#include "support/http_test_server.h"
#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::HttpAnswer;
using test::HttpRoute;

std::string Events(int count) {
  std::string text = "BEGIN:VCALENDAR\r\n";
  for (int i = 0; i < count; ++i) {
    text += "BEGIN:VEVENT\r\nDTSTART:20240101T100000Z\r\nSUMMARY:event " + std::to_string(i) + "\r\nEND:VEVENT\r\n";
  }
  return text + "END:VCALENDAR\r\n";
}

// Summaries of the feed's events, or "no text" when it did not open.
std::string Fetch(const std::string& url) {
  ICalFeed feed;
  if (!feed.Open(url)) return "no text";
  std::string subjects;
  for (bool found = feed.FirstItem(); found; found = feed.NextItem()) {
    const ICalPropertyValue value = ICal_GetProperty(feed, "PR_SUBJECT");
    subjects += value.result == 2 ? value.bytes.substr(0, value.bytes.size() - 1) : "?";
    subjects += "|";
  }
  return std::to_string(feed.text().size()) + " bytes " + subjects;
}

class ICalDownloadTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    // The test's servers are on this machine, whatever proxy is configured.
    setenv("no_proxy", "*", 1);
    setenv("NO_PROXY", "*", 1);
  }
  void Set(const char* name, uint32_t value) {
    registry().SetDword(test::kLibraryRootKey, name, value);
    registry().Save();
  }
};

TEST_F(ICalDownloadTest, BodiesAreReadWholeWhateverTheirFramingOrStatus) {
  test::HttpTestServer server;
  const std::string calendar = Events(40);  // several KB: many reads and chunks
  const std::string expected = std::to_string(calendar.size()) + " bytes ";
  std::string subjects;
  for (int i = 0; i < 40; ++i) subjects += "event " + std::to_string(i) + "|";
  server.Route("/length.ics", {HttpAnswer::kWithLength, 200, calendar});
  server.Route("/close.ics", {HttpAnswer::kWithoutLength, 200, calendar});
  server.Route("/chunked.ics", {HttpAnswer::kChunked, 200, calendar});
  server.Route("/moved", {HttpAnswer::kRedirect, 302, "/chunked.ics"});
  server.Route("/moved-away", {HttpAnswer::kRedirect, 302, server.Url("/moved")});
  server.Route("/gone", {HttpAnswer::kWithLength, 404, "<html>Not here</html>"});
  server.Route("/error", {HttpAnswer::kWithLength, 500, Events(1)});
  server.Route("/empty.ics", {HttpAnswer::kWithLength, 200, ""});

  EXPECT_EQ(Fetch(server.Url("/length.ics")), expected + subjects);
  EXPECT_EQ(Fetch(server.Url("/close.ics")), expected + subjects);
  EXPECT_EQ(Fetch(server.Url("/chunked.ics")), expected + subjects);
  EXPECT_EQ(Fetch(server.Url("/moved")), expected + subjects);
  EXPECT_EQ(Fetch(server.Url("/moved-away")), expected + subjects);
  // No status is judged: an error page is a text without events, and a
  // calendar served with an error status is still read.
  EXPECT_EQ(Fetch(server.Url("/gone")), "21 bytes ");
  EXPECT_EQ(Fetch(server.Url("/error")), std::to_string(Events(1).size()) + " bytes event 0|");
  EXPECT_EQ(Fetch(server.Url("/empty.ics")), "0 bytes ");
  // The scheme is any case; an address without a path after its host is
  // not fetched at all.
  std::string upper = server.Url("/length.ics");
  upper.replace(0, 4, "HTTP");
  EXPECT_EQ(Fetch(upper), expected + subjects);
  const int before = server.Requests("/");
  EXPECT_EQ(Fetch("http://127.0.0.1:" + std::to_string(server.port())), "no text");
  EXPECT_EQ(server.Requests("/"), before);

  // Through the store-item interface, the folder text being the address.
  ASSERT_EQ(StoreFolder_Open("PO", "MB", server.Url("/chunked.ics").c_str(), 5, 1), 1u);
  int events = 0;
  for (uint32_t found = StoreFolder_FindFirstItem(); found != 0; found = StoreFolder_FindNextItem()) ++events;
  EXPECT_EQ(events, 40);
  StoreFolder_Close();
}

TEST_F(ICalDownloadTest, BrokenServersAndOversizedBodiesOpenAsNoText) {
  test::HttpTestServer server;
  const std::string calendar = Events(40);
  server.Route("/cut.ics", {HttpAnswer::kCutShort, 200, calendar});
  server.Route("/cut-chunked.ics", {HttpAnswer::kCutChunked, 200, calendar});
  server.Route("/loop", {HttpAnswer::kRedirect, 302, "/loop"});
  server.Route("/to-file", {HttpAnswer::kRedirect, 302, "file:///etc/passwd"});
  server.Route("/big.ics", {HttpAnswer::kChunked, 200, calendar});
  server.Route("/big-length.ics", {HttpAnswer::kWithLength, 200, calendar});
  server.Route("/silent.ics", {HttpAnswer::kSilent, 200, ""});

  EXPECT_EQ(Fetch(server.Url("/cut.ics")), "no text");
  EXPECT_EQ(Fetch(server.Url("/cut-chunked.ics")), "no text");
  EXPECT_EQ(Fetch(server.Url("/loop")), "no text");
  EXPECT_EQ(server.Requests("/loop"), 6);  // the first request and five redirects
  EXPECT_EQ(Fetch(server.Url("/to-file")), "no text");

  Set("iCalendar Size Limit", static_cast<uint32_t>(calendar.size() - 1));
  EXPECT_EQ(Fetch(server.Url("/big.ics")), "no text");
  EXPECT_EQ(Fetch(server.Url("/big-length.ics")), "no text");
  Set("iCalendar Size Limit", static_cast<uint32_t>(calendar.size()));
  EXPECT_NE(Fetch(server.Url("/big.ics")), "no text");
  Set("iCalendar Size Limit", 0);  // not a cap of nothing: the default
  EXPECT_NE(Fetch(server.Url("/big-length.ics")), "no text");

  Set("iCalendar Transfer Timeout", 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fetch(server.Url("/silent.ics")), "no text");
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(10));

  // Nothing listens: the open fails at once.
  EXPECT_EQ(Fetch("http://127.0.0.1:1/x.ics"), "no text");
}

// An HTTPS server: `openssl s_server -WWW` serving the files of a folder
// with a certificate for "localhost" signed by a CA made for the test.
class HttpsServer {
 public:
  ~HttpsServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  // False when the openssl command is not there or does not start.
  bool Start(const std::string& folder) {
    const std::string script =
        "cd '" + folder + "' && printf 'subjectAltName=DNS:localhost\\nextendedKeyUsage=serverAuth\\n' > host.ext" +
        " && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
        " -addext basicConstraints=critical,CA:TRUE -keyout ca.key -out ca.pem -subj /CN=qxtestca" +
        " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout host.key"
        " -out host.csr -subj /CN=localhost" +
        " && openssl x509 -req -days 2 -in host.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
        " -extfile host.ext -out host.pem";
    if (test::RunCommandLine("(" + script + ") >/dev/null 2>&1 && echo made").output != "made\n") return false;
    port_ = FreePort();
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(folder.c_str()) != 0) _exit(127);
      const std::string accept = std::to_string(port_);
      execlp("openssl", "openssl", "s_server", "-quiet", "-accept", accept.c_str(), "-cert", "host.pem",
             "-key", "host.key", "-WWW", static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 100; ++i) {
      if (Listening()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  std::string Url(const std::string& host, const std::string& path) const {
    return "https://" + host + ":" + std::to_string(port_) + path;
  }

 private:
  static uint16_t FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
  }
  bool Listening() const {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port_);
    const bool up = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    return up;
  }

  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

TEST_F(ICalDownloadTest, HttpsIsCheckedAgainstTrustedCasAndTheHostName) {
  const std::string folder = root() + "/https";
  MakeDirs(folder);
  WriteFile(folder + "/cal.ics", Events(3));
  HttpsServer server;
  if (!server.Start(folder)) GTEST_SKIP() << "the openssl command is not available";

  // The test's CA is not among the system's.
  EXPECT_EQ(Fetch(server.Url("localhost", "/cal.ics")), "no text");
  registry().SetString(test::kLibraryRootKey, "iCalendar CA File", folder + "/ca.pem");
  registry().Save();
  EXPECT_EQ(Fetch(server.Url("localhost", "/cal.ics")),
            std::to_string(Events(3).size()) + " bytes event 0|event 1|event 2|");
  // The certificate names localhost, not this address.
  EXPECT_EQ(Fetch(server.Url("127.0.0.1", "/cal.ics")), "no text");
  // A CA file that is not there trusts nothing more.
  registry().SetString(test::kLibraryRootKey, "iCalendar CA File", folder + "/missing.pem");
  registry().Save();
  EXPECT_EQ(Fetch(server.Url("localhost", "/cal.ics")), "no text");
}

}  // namespace
}  // namespace qx
