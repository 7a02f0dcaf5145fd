#include "platform/diagnostics.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/forked_holder.h"

namespace qx::platform {
namespace {

using Environment = std::vector<std::pair<const char*, const char*>>;

void ApplyEnvironment(const Environment& environment) {
  for (const char* name : {"QXSTORE_DIAG", "QXSTORE_DEBUG", "QXSTORE_TRACE"}) unsetenv(name);
  for (const auto& [name, value] : environment) setenv(name, value, 1);
  ReloadDiagnosticsSettings();
}

TEST(Diagnostics, EachKindGoesWhereTheEnvironmentSays) {
  const std::string long_text(5000, 'a');
  const struct {
    Environment environment;
    std::string out;
    std::string err;
  } cases[] = {
      {{}, "host\ndiag 5 x\n[" + long_text + "]\n", ""},
      {{{"QXSTORE_DIAG", "stderr"}, {"QXSTORE_DEBUG", "1"}, {"QXSTORE_TRACE", "1"}},
       "host\n",
       "diag 5 x\n[" + long_text + "]\ndebug text\nQX-WXXXX: Warning: trace text\n"},
      {{{"QXSTORE_DIAG", "off"}}, "host\n", ""},
  };
  for (const auto& c : cases) {
    ApplyEnvironment(c.environment);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::printf("host\n");
    DiagPrintf("diag %d %s\n", 5, "x");
    DiagPrintf("[%s]\n", long_text.c_str());
    DebugOutput("debug text\n");
    Trace("QX-WXXXX: Warning: trace text");
    std::fflush(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
  }
}

TEST(Diagnostics, LinesReachTheHostBeforeTheCallReturns) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  std::fflush(nullptr);
  test::ForkedHolder child([&] {
    dup2(out[1], STDOUT_FILENO);
    ApplyEnvironment({});
    DiagPrintf("StoreFolder_Open::Piggybacking Index\n");
    return true;
  });
  ASSERT_TRUE(child.held());
  // The child still runs: the line cannot be waiting in its buffer.
  pollfd ready{out[0], POLLIN, 0};
  ASSERT_EQ(poll(&ready, 1, 0), 1);
  char buffer[256];
  EXPECT_GT(read(out[0], buffer, sizeof buffer), 0);
  close(out[0]);
  close(out[1]);
}

}  // namespace
}  // namespace qx::platform
