#pragma once
// The fixture of tests that forward calls to a remote administration host:
// host entries in the registry, the process-wide forwarding state reset
// around each test, and the real host program run as a child process.

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
  // A host entry at 127.0.0.1:port; saves the registry.
  void AddHost(const std::string& name, uint16_t port, const std::string& credentials = "s3cret");

  // Runs qxradms on a free port as one of the server's own programs, so it
  // carries the calls out itself, accepting `secret`. Returns its port, or 0
  // when the program is not built or did not start.
  uint16_t StartHostProgram(const std::string& secret = "open sesame");

 private:
  pid_t host_program_ = 0;
};

}  // namespace qx::test
