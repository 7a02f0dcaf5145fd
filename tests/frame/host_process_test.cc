#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "frame/host_process.h"
#include "platform/program.h"

namespace qx {
namespace {

uint32_t ServerHostWithProgram(const std::string& program) {
  setenv("QXSTORE_PROGRAM", program.c_str(), 1);
  return IsServerHostProcess();
}

TEST(HostProcessTest, ServerProgramsAreKnownByNameInAnyCase) {
  EXPECT_EQ(ServerHostWithProgram("C:\\Program Files\\Tal Mera\\qxmta.exe"), 1u);
  EXPECT_EQ(ServerHostWithProgram("/opt/qx/bin/qxmta"), 0u);
  // Only the first 259 bytes of the path are looked at.
  EXPECT_EQ(ServerHostWithProgram("/" + std::string(250, 'd') + "/QXMTA.EXE"), 0u);
  EXPECT_EQ(ServerHostWithProgram("/" + std::string(240, 'd') + "/QXMTA.EXE"), 1u);

  // An empty or missing setting names the running program, with ".EXE".
  char executable[4096];
  const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
  ASSERT_GT(length, 0);
  EXPECT_EQ(ServerHostWithProgram(""), 0u);
  EXPECT_EQ(platform::MainModulePath(), std::string(executable, length) + ".EXE");
  unsetenv("QXSTORE_PROGRAM");
}

}  // namespace
}  // namespace qx
