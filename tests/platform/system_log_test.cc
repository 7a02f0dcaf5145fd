// Records for the system log: the traditional one-line form that log
// daemons and log watchers read, and the fallback when no daemon listens.

#include "platform/system_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <string>

#include "support/log_sink.h"
#include "support/scratch_dir.h"

namespace qx::platform {
namespace {

using SystemLogTest = test::ScratchDirTest;

TEST_F(SystemLogTest, OneLineRecordsWithPriorityIdentAndPid) {
  test::LogSink sink(Native("log"));
  ASSERT_TRUE(sink.bound());
  ConfigureSystemLog("qxtest", sink.path());
  WriteSystemLog(LogFacility::kAuthPriv, LogSeverity::kWarning, "AUTH failed from 192.0.2.7");
  // A caller's text cannot start a second record.
  WriteSystemLog(LogFacility::kDaemon, LogSeverity::kInfo, "path a\nqxtest[1]: forged\r\x7f");
  WriteSystemLog(LogFacility::kDaemon, LogSeverity::kInfo, std::string(10000, 'x'));

  std::vector<std::string> records = sink.RecordsWith("qxtest[", 3);
  ASSERT_EQ(records.size(), 3u);
  const std::string pid = std::to_string(getpid());
  // authpriv (10) * 8 + warning (4) = 84; daemon (3) * 8 + info (6) = 30.
  EXPECT_TRUE(std::regex_match(records[0], std::regex("<84>[A-Z][a-z]{2} [ 123][0-9] "
                                                      "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] qxtest\\[" +
                                                      pid + "\\]: AUTH failed from 192\\.0\\.2\\.7")))
      << records[0];
  EXPECT_NE(records[1].find("qxtest[" + pid + "]: path a qxtest[1]: forged  "), std::string::npos)
      << records[1];
  EXPECT_EQ(records[1].find('\n'), std::string::npos);
  EXPECT_LT(records[2].size(), 2048u) << "a record fits any log socket";

  // With no daemon listening the record is not lost: it goes to standard error.
  ConfigureSystemLog("qxtest", Native("no-such-socket"));
  testing::internal::CaptureStderr();
  WriteSystemLog(LogFacility::kDaemon, LogSeverity::kNotice, "listening");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "qxtest[" + pid + "]: listening\n");
}

}  // namespace
}  // namespace qx::platform
