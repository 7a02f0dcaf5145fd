#include "support/remote_host_test.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "remote/base64.h"
#include "remote/connection_socket.h"
#include "remote/lzw.h"
#include "remote/remote_state.h"

namespace qx::test {

std::string EncodedRecord(std::span<const uint8_t> bytes) {
  return Base64Encode(LzwCompress(bytes));
}

std::string ExecRequest(const std::string& function,
                        const std::vector<std::span<const uint8_t>>& records) {
  std::string text = "<DATA><METHOD>EXEC</METHOD><FUNCTION>" + function + "</FUNCTION><PARAMETERS>";
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string tag = "PARAMETER" + std::to_string(i + 1);
    text += "<" + tag + " SIZE=" + std::to_string(records[i].size()) + ">" +
            EncodedRecord(records[i]) + "</" + tag + ">";
  }
  return text + "</PARAMETERS></DATA>";
}

void RemoteHostTest::SetUp() {
  StoreTest::SetUp();
  // The forwarding state is process-wide; start each test without a host.
  CloseRemoteSocket();
  Remote() = RemoteState{};
}

void RemoteHostTest::TearDown() {
  CloseRemoteSocket();
  Remote() = RemoteState{};
  if (host_program_ > 0) {
    kill(host_program_, SIGTERM);
    int status = 0;
    EXPECT_EQ(waitpid(host_program_, &status, 0), host_program_);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  StoreTest::TearDown();
}

void RemoteHostTest::AddHost(const std::string& name, uint16_t port,
                             const std::string& credentials) {
  registry().SetString(HostKey(name), "Address", "127.0.0.1");
  registry().SetDword(HostKey(name), "Port", port);
  registry().SetString(HostKey(name), "Credentials", credentials);
  registry().SetString(HostKey(name), "Authentication Protocol", "QXSTORE");
  registry().Save();
}

uint16_t RemoteHostTest::StartHostProgram(const std::string& secret) {
  const std::string binary = std::string(QX_BINARY_DIR) + "/qxradms";
  if (access(binary.c_str(), X_OK) != 0) return 0;
  const std::string secret_file = root() + "/secret";
  WriteFile(secret_file, secret + "\n");
  int out[2];
  if (pipe(out) != 0) return 0;
  host_program_ = fork();
  if (host_program_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    unsetenv("QXSTORE_PROGRAM");
    execl(binary.c_str(), "qxradms", "--address", "127.0.0.1", "--port", "0",
          "--credentials-file", secret_file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // Its first line ends with the port it listens on.
  std::string line;
  char c;
  pollfd entry{out[0], POLLIN, 0};
  while (poll(&entry, 1, 10000) == 1 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
  close(out[0]);
  const size_t colon = line.rfind(':');
  return colon == std::string::npos ? 0 : static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1));
}

}  // namespace qx::test
