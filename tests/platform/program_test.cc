#include "platform/program.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace qx::platform {
namespace {

TEST(Program, MainModulePathFromEnvironmentOrExecutable) {
  setenv("QXSTORE_PROGRAM", "C:\\Program Files\\Talmera\\QXPOPS.EXE", 1);
  EXPECT_EQ(MainModulePath(), "C:\\Program Files\\Talmera\\QXPOPS.EXE");

  // An empty setting counts as unset.
  setenv("QXSTORE_PROGRAM", "", 1);
  char executable[4096];
  const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
  ASSERT_GT(length, 0);
  const std::string expected = std::string(executable, length) + ".EXE";
  EXPECT_EQ(MainModulePath(), expected);
  unsetenv("QXSTORE_PROGRAM");
  EXPECT_EQ(MainModulePath(), expected);
  EXPECT_EQ(FileNamePart(MainModulePath()), "platform_tests.EXE");
}

TEST(Program, FileNamePartTakesEitherSeparator) {
  EXPECT_EQ(FileNamePart("C:\\Talmera\\QXRADMS.EXE"), "QXRADMS.EXE");
  EXPECT_EQ(FileNamePart("/usr/bin/qxradms.EXE"), "qxradms.EXE");
  EXPECT_EQ(FileNamePart("/opt/a\\b/c\\storeadm"), "storeadm");
  EXPECT_EQ(FileNamePart("qxmta.exe"), "qxmta.exe");
  EXPECT_EQ(FileNamePart("/usr/bin/"), "");
  EXPECT_EQ(FileNamePart(""), "");
}

}  // namespace
}  // namespace qx::platform
