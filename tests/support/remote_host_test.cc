#include "support/remote_host_test.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
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
  host_log_ = std::make_unique<LogSink>(root() + "/log");
}

void RemoteHostTest::TearDown() {
  CloseRemoteSocket();
  Remote() = RemoteState{};
  if (host_program_ > 0) {
    const int status = StopHostProgram();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  host_log_.reset();
  StoreTest::TearDown();
}

void RemoteHostTest::AddHost(const std::string& name, uint16_t port,
                             const std::string& credentials, const std::string& address) {
  registry().SetString(HostKey(name), "Address", address);
  registry().SetDword(HostKey(name), "Port", port);
  registry().SetString(HostKey(name), "Credentials", credentials);
  registry().SetString(HostKey(name), "Authentication Protocol", "QXSTORE");
  registry().Save();
}

uint16_t RemoteHostTest::StartHostProgram(const std::string& secret,
                                          const std::vector<std::string>& options) {
  const std::string binary = std::string(QX_BINARY_DIR) + "/qxradms";
  if (access(binary.c_str(), X_OK) != 0) return 0;
  const std::string secret_file = root() + "/secret";
  WriteFile(secret_file, secret + "\n");
  chmod(secret_file.c_str(), 0600);
  std::vector<std::string> arguments = {"qxradms", "--address", "127.0.0.1", "--port", "0",
                                        "--credentials-file", secret_file,
                                        "--syslog-socket", host_log_->path()};
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string output = root() + "/host.stdout";
  int err[2];
  if (pipe(err) != 0) return 0;
  host_program_ = fork();
  if (host_program_ == 0) {
    int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(err[0]);
    close(err[1]);
    unsetenv("QXSTORE_PROGRAM");
    // Diagnostics go where they would for a deployed host.
    unsetenv("QXSTORE_DIAG");
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  close(err[1]);
  // It says on standard error where it listens; the port ends that line.
  std::string line;
  char c;
  pollfd entry{err[0], POLLIN, 0};
  while (poll(&entry, 1, 10000) == 1 && read(err[0], &c, 1) == 1) {
    if (c != '\n') {
      line += c;
    } else if (line.find("listening on") != std::string::npos) {
      break;
    } else {
      line.clear();
    }
  }
  close(err[0]);
  const size_t colon = line.rfind(':');
  return colon == std::string::npos ? 0 : static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1));
}

int RemoteHostTest::StopHostProgram() {
  if (host_program_ <= 0) return -1;
  kill(host_program_, SIGTERM);
  int status = 0;
  EXPECT_EQ(waitpid(host_program_, &status, 0), host_program_);
  host_program_ = 0;
  return status;
}

std::string RemoteHostTest::HostStandardOutput() const { return ReadFile(root() + "/host.stdout"); }

}  // namespace qx::test
