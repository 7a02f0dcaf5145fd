#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "frame/host_process.h"

namespace qx {
namespace {

uint32_t ServerHostWithProgram(const std::string& program) {
  setenv("QXSTORE_PROGRAM", program.c_str(), 1);
  return IsServerHostProcess();
}

TEST(HostProcessTest, ServerProgramsAreKnownByNameInAnyCase) {
  EXPECT_EQ(ServerHostWithProgram("C:\\Program Files\\Tal Mera\\qxmta.exe"), 1u);
  EXPECT_EQ(ServerHostWithProgram("/opt/qx/bin/QXIMAPS.EXE"), 1u);
  EXPECT_EQ(ServerHostWithProgram("/opt/qx/bin/qxradms.EXE"), 1u);
  EXPECT_EQ(ServerHostWithProgram("/usr/lib/office/Outlook.exe"), 1u);
  EXPECT_EQ(ServerHostWithProgram("/opt/qx/bin/STOREADM.EXE"), 0u);
  EXPECT_EQ(ServerHostWithProgram("/opt/qx/bin/qxmta"), 0u);
  EXPECT_EQ(ComApartmentForHost(), ComApartment::kSingleThreaded);
  EXPECT_EQ(InitializeComForHost(), 0);
  ServerHostWithProgram("/opt/qx/bin/QXPOPS.EXE");
  EXPECT_EQ(ComApartmentForHost(), ComApartment::kMultithreaded);
  EXPECT_EQ(InitializeComForHost(), 0);

  // Only the first 259 bytes of the path are looked at.
  std::string deep = "/" + std::string(250, 'd') + "/QXMTA.EXE";
  EXPECT_EQ(ServerHostWithProgram(deep), 0u);
  EXPECT_EQ(ServerHostWithProgram("/" + std::string(240, 'd') + "/QXMTA.EXE"), 1u);
}

}  // namespace
}  // namespace qx
