#include "platform/diagnostics.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qx::platform {
namespace {

using Environment = std::vector<std::pair<const char*, const char*>>;

struct Output {
  std::string out;
  std::string err;
};

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t count;
  while ((count = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, count);
  return text;
}

void ApplyEnvironment(const Environment& environment) {
  for (const char* name : {"QXSTORE_DIAG", "QXSTORE_DEBUG", "QXSTORE_TRACE"}) unsetenv(name);
  for (const auto& [name, value] : environment) setenv(name, value, 1);
  ReloadDiagnosticsSettings();
}

// Runs `body` in a child process whose standard output and error are pipes.
Output RunInChild(const Environment& environment, const std::function<void()>& body) {
  int out[2], err[2];
  EXPECT_EQ(pipe(out), 0);
  EXPECT_EQ(pipe(err), 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]);
    close(err[0]);
    ApplyEnvironment(environment);
    body();
    std::fflush(nullptr);
    _exit(0);
  }
  close(out[1]);
  close(err[1]);
  Output output{ReadAll(out[0]), ReadAll(err[0])};
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return output;
}

void WriteEveryKind() {
  std::printf("host line\n");
  DiagPrintf("diag %d %s\n", 5, "x");
  DebugOutput("debug text\n");
  Trace("QX-WXXXX: Warning: trace text");
}

TEST(Diagnostics, EachKindGoesWhereTheEnvironmentSays) {
  Output plain = RunInChild({}, WriteEveryKind);
  EXPECT_EQ(plain.out, "host line\ndiag 5 x\n");
  EXPECT_EQ(plain.err, "");

  Output all = RunInChild({{"QXSTORE_DIAG", "stderr"}, {"QXSTORE_DEBUG", "1"}, {"QXSTORE_TRACE", "1"}},
                          WriteEveryKind);
  EXPECT_EQ(all.out, "host line\n");
  EXPECT_EQ(all.err, "diag 5 x\ndebug text\nQX-WXXXX: Warning: trace text\n");

  Output off = RunInChild({{"QXSTORE_DIAG", "off"}, {"QXSTORE_DEBUG", "0"}, {"QXSTORE_TRACE", "yes"}},
                          WriteEveryKind);
  EXPECT_EQ(off.out, "host line\n");
  EXPECT_EQ(off.err, "");

  Output to_syslog = RunInChild({{"QXSTORE_DIAG", "syslog"}}, WriteEveryKind);
  EXPECT_EQ(to_syslog.out, "host line\n");
  EXPECT_EQ(to_syslog.err, "");

  const std::string long_text(5000, 'a');
  Output long_line = RunInChild({}, [&] { DiagPrintf("[%s]\n", long_text.c_str()); });
  EXPECT_EQ(long_line.out, "[" + long_text + "]\n");
}

TEST(Diagnostics, LinesReachTheHostBeforeTheCallReturns) {
  int out[2], go[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(go), 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    ApplyEnvironment({});
    DiagPrintf("StoreFolder_Open::Piggybacking Index\n");
    char c;
    (void)!read(go[0], &c, 1);  // stay alive until the parent has read
    _exit(0);
  }
  close(out[1]);
  pollfd ready{out[0], POLLIN, 0};
  ASSERT_EQ(poll(&ready, 1, 5000), 1);
  char buffer[256];
  const ssize_t count = read(out[0], buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, count > 0 ? count : 0), "StoreFolder_Open::Piggybacking Index\n");
  (void)!write(go[1], "x", 1);
  waitpid(child, nullptr, 0);
  close(out[0]);
  close(go[0]);
  close(go[1]);
}

TEST(Diagnostics, EventLogTextAndSource) {
  const char* strings[] = {"Talmera Store Provider error: 2", nullptr, "[-1] Error creating DOM instance"};
  EXPECT_EQ(JoinEventStrings(strings, 3),
            "Talmera Store Provider error: 2 [-1] Error creating DOM instance");
  EXPECT_EQ(JoinEventStrings(strings, 1), "Talmera Store Provider error: 2");
  EXPECT_EQ(JoinEventStrings(nullptr, 2), "");
  EXPECT_FALSE(ReportEvent("", EventType::kInformation, 0x40000001, strings, 3));
  EXPECT_TRUE(ReportEvent("Talmera", EventType::kInformation, 0x40000001, strings, 3));
}

}  // namespace
}  // namespace qx::platform
