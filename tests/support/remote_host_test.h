#pragma once
// The fixture of tests that forward calls to a remote administration host:
// host entries in the registry, the process-wide forwarding state reset
// around each test, and the real host program run as a child process with
// its own system log socket.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "support/log_sink.h"
#include "support/test_store.h"

namespace qx::test {

inline const char* kAdministrationKey =
    "HKEY_CURRENT_USER\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Administration";

template <class Record>
std::span<const uint8_t> RecordBytes(const Record& record) {
  return {reinterpret_cast<const uint8_t*>(&record), sizeof record};
}

// A parameter's text on the wire: LZW codes in base64.
std::string EncodedRecord(std::span<const uint8_t> bytes);

// The exact EXEC request of `function` with these records as PARAMETER1...
std::string ExecRequest(const std::string& function,
                        const std::vector<std::span<const uint8_t>>& records);

class RemoteHostTest : public StoreTest {
 protected:
  void SetUp() override;
  // Closes the connection and stops the host program; expects it to exit 0.
  void TearDown() override;

  static std::string HostKey(const std::string& name) {
    return std::string(kAdministrationKey) + "\\Hosts\\" + name;
  }
  // A host entry at address:port; saves the registry.
  void AddHost(const std::string& name, uint16_t port, const std::string& credentials = "s3cret",
               const std::string& address = "127.0.0.1");

  // Runs qxradms on a free port of 127.0.0.1 as one of the server's own
  // programs, so it carries the calls out itself, accepting `secret`, with
  // `options` added to its command line. Its standard output goes to a file
  // (HostStandardOutput), its log records to host_log(). Returns its port,
  // or 0 when the program is not built or did not start.
  uint16_t StartHostProgram(const std::string& secret = "open sesame",
                            const std::vector<std::string>& options = {});
  // Stops the host program (SIGTERM) and returns its exit status as
  // waitpid gives it, or -1 when none runs.
  int StopHostProgram();

  pid_t host_pid() const { return host_program_; }
  LogSink& host_log() { return *host_log_; }
  std::string HostStandardOutput() const;

 private:
  pid_t host_program_ = 0;
  std::unique_ptr<LogSink> host_log_;
};

}  // namespace qx::test
