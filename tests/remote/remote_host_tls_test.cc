// The remote administration connection over TLS, with a CA made for the
// test: a whole forwarded session (folders, sizes, a 5 MB message each way)
// byte for byte, and clear failures when the CA or the host name is wrong.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/tls.h"
#include "qxstore.h"
#include "remote/flat_records.h"
#include "remote/forwarding_failure.h"
#include "support/program_run.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

class RemoteHostTlsTest : public test::RemoteHostTest {
 protected:
  // A CA (ca.pem) and a certificate for "localhost" signed by it (host.pem,
  // host.key), plus a second CA (other.pem) that signed nothing here. Made
  // fresh for each run; the keys never leave the test's directory.
  bool MakeCertificates() {
    tls_ = root() + "/tls";
    MakeDirs(tls_);
    WriteFile(tls_ + "/host.ext", "subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n");
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string ca = " -x509 -days 2 -addext basicConstraints=critical,CA:TRUE";
    const std::string script =
        "cd '" + tls_ + "' && openssl req" + ec + ca + " -keyout ca.key -out ca.pem -subj /CN=qxca" +
        " && openssl req" + ec + ca + " -keyout other.key -out other.pem -subj /CN=qxother" +
        " && openssl req" + ec + " -keyout host.key -out host.csr -subj /CN=localhost" +
        " && openssl x509 -req -days 2 -in host.csr -CA ca.pem -CAkey ca.key -CAcreateserial" +
        " -extfile host.ext -out host.pem";
    if (test::RunCommandLine("(" + script + ") >/dev/null 2>&1 && echo made").output != "made\n") {
      return false;
    }
    chmod((tls_ + "/host.key").c_str(), 0600);
    return true;
  }

  void AddTlsHost(const std::string& name, uint16_t port, const std::string& address,
                  const std::string& ca_file) {
    AddHost(name, port, "open sesame", address);
    registry().SetDword(HostKey(name), "TLS", 1);
    registry().SetString(HostKey(name), "TLS CA File", ca_file);
    registry().Save();
  }

  std::string tls_;
};

std::string WriteMessage(const std::string& content) {
  auto blob = test::MessageBlobRecord("\\Inbox", "up.MAI");
  for (size_t at = 0; at == 0 || at < content.size(); at += sizeof blob->data) {
    blob->length = static_cast<uint32_t>(std::min(sizeof blob->data, content.size() - at));
    std::memcpy(blob->data, content.data() + at, blob->length);
    if ((at == 0 ? MessageItemBLOBWriteFirstChunk(blob.get())
                 : MessageItemBLOBWriteNextChunk(blob.get())) != 1) {
      return "write failed at " + std::to_string(at);
    }
  }
  return {};
}

std::string ReadMessage(const char* file) {
  auto blob = test::MessageBlobRecord("\\Inbox", file);
  std::string read;
  for (uint32_t more = MessageItemBLOBGetFirstChunk(blob.get()); more != 0;
       more = MessageItemBLOBGetNextChunk(blob.get())) {
    read.append(reinterpret_cast<const char*>(blob->data), blob->length);
  }
  return read;
}

std::vector<std::string> TopFolders() {
  STOREFOLDER record = test::StoreFolderRecord("\\");
  std::vector<std::string> names;
  for (uint32_t found = StoreFolderFindFirst(&record); found == 1 && names.size() < 10;
       found = StoreFolderFindNext(&record)) {
    names.push_back(record.name);
  }
  StoreFolderFindClose(&record);
  return names;
}

TEST_F(RemoteHostTlsTest, AWholeSessionOverTlsAndClearFailuresForAWrongCaOrName) {
  if (!MakeCertificates()) GTEST_SKIP() << "the openssl command is not available";
  const uint16_t port = StartHostProgram(
      "open sesame", {"--tls-cert", tls_ + "/host.pem", "--tls-key", tls_ + "/host.key"});
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  const std::string mailbox = mail_root() + "/PO/MAILROOT/MB";
  MakeDirs(mailbox + "/Inbox");
  MakeDirs(mailbox + "/Projects");
  WriteFile(mailbox + "/Projects/_index.xml",
            "<?xml version=\"1.0\"?><BASEELEMENT><LASTUID>2</LASTUID>"
            "<ELEMENT ID=\"a.MAI\" UID=\"1\"><SIZE>100</SIZE></ELEMENT>"
            "<ELEMENT ID=\"b.MAI\" UID=\"2\"><SIZE>250</SIZE></ELEMENT></BASEELEMENT>");
  std::string content(5 << 20, '\0');
  uint32_t state = 12345;
  for (char& c : content) c = static_cast<char>((state = state * 1103515245 + 12345) >> 24);
  WriteFile(mailbox + "/Inbox/down.MAI", content);

  AddTlsHost("Secure", port, "localhost", tls_ + "/ca.pem");
  SetCurrentHost("Secure");
  EXPECT_EQ(TopFolders(), (std::vector<std::string>{"Inbox", "Projects"}));
  STOREFOLDER projects = test::StoreFolderRecord("\\Projects");
  ASSERT_EQ(StoreFolderGet(&projects), 1u);
  EXPECT_EQ(projects.size, 350u);
  EXPECT_TRUE(ReadMessage("down.MAI") == content) << "5 MB read byte for byte";
  EXPECT_EQ(WriteMessage(content), "");
  EXPECT_TRUE(ReadFile(mailbox + "/Inbox/up.MAI") == content) << "5 MB written byte for byte";
  EXPECT_FALSE(LastForwardingFailure());
  EXPECT_EQ(host_log().RecordsWith("AUTH accepted from 127.0.0.1", 1).size(), 1u);

  // Each refusal says why, on the client and in the host's log.
  AddTlsHost("WrongCa", port, "localhost", tls_ + "/other.pem");
  AddTlsHost("WrongName", port, "127.0.0.1", tls_ + "/ca.pem");
  AddHost("Plain", port, "open sesame", "127.0.0.1");
  const struct {
    const char* host;
    uint32_t error;
    const char* reason;
  } refusals[] = {
      {"WrongCa", platform::kErrorTlsUntrustedRoot,
       "certificate of localhost not accepted: unable to get local issuer certificate"},
      {"WrongName", platform::kErrorTlsWrongPrincipal,
       "certificate of 127.0.0.1 not accepted: IP address mismatch"},
      {"Plain", platform::kErrorConnectionReset, "no answer to AUTH"},
  };
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.host);
    SetCurrentHost(refusal.host);
    EXPECT_TRUE(TopFolders().empty());
    ASSERT_TRUE(LastForwardingFailure());
    EXPECT_EQ(LastForwardingFailure()->error, refusal.error);
    EXPECT_NE(LastForwardingFailure()->reason.find(refusal.reason), std::string::npos)
        << LastForwardingFailure()->reason;
  }
  EXPECT_GE(host_log().RecordsWith("closed: TLS handshake failed: ", 3).size(), 3u);
}

}  // namespace
}  // namespace qx
