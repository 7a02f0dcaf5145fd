// Calendar provider files through the exported operations: the bytes on
// disk, the backups, the change flag, foreign lines, block files held by
// others, and writers in several processes and threads at once.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/block_files.h"
#include "pim/appointment_records.h"
#include "pim/provider_file_format.h"
#include "platform/civil_date.h"
#include "platform/clock.h"
#include "qxstore.h"
#include "support/forked_holder.h"
#include "support/test_store.h"

namespace qx {
namespace {

using test::kProvidersBlockKey;

constexpr int32_t k0900 = 1300179600;  // 15 March 2011, 09:00 UTC
constexpr int32_t kHour = 3600;
constexpr const char* kChangeText = "This file has been written to denote configuration change\n";

class ProviderFilesTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(mail_root() + "/PO/MAILROOT/MB");
  }

  static APPOINTMENTRECORD Record(const std::string& identifier, int32_t start, int32_t end) {
    return MakeAppointmentRecord("PO", "MB", {start, end, identifier});
  }
  std::string Calendar(const std::string& name) const { return mail_root() + "/PO/MAILROOT/MB/Calendar/" + name; }
  void SetTimeout(const char* name, uint32_t polls) {
    registry().SetDword(kProvidersBlockKey, name, polls);
    registry().Save();
  }
};

TEST_F(ProviderFilesTest, EntriesAreFiledByBucketAndRewrittenWithBackups) {
  APPOINTMENTRECORD a = Record("a.MAI", k0900, k0900 + kHour);
  EXPECT_STREQ(a.bucket, "Y11M03D15");
  EXPECT_EQ(AppointmentAdd(&a), 1u);
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.CAL")), "1300179600\t1300183200\ta.MAI");
  EXPECT_EQ(ReadFile(Calendar("_CHANGE.DTY")), kChangeText);
  APPOINTMENTRECORD again = Record("A.mai", k0900, k0900);
  EXPECT_EQ(AppointmentAdd(&again), 0u) << "the identifier is there already, in any case";
  APPOINTMENTRECORD b = Record("b.MAI", k0900 + kHour, k0900 + 2 * kHour);
  EXPECT_EQ(AppointmentAdd(&b), 1u);
  const std::string both = "1300179600\t1300183200\ta.MAI\n1300183200\t1300186800\tb.MAI";
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.CAL")), both);
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.BAK")), "1300179600\t1300183200\ta.MAI");
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.TMP")));
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.BLK")));

  APPOINTMENTRECORD found = Record("B.MAI", 0, 0);
  std::strcpy(found.bucket, "Y11M03D15");
  EXPECT_EQ(AppointmentGet(&found), 1u);
  EXPECT_EQ(found.start, k0900 + kHour);
  EXPECT_STREQ(found.identifier, "b.MAI");
  APPOINTMENTRECORD unknown = found;
  std::strcpy(unknown.identifier, "z.MAI");
  EXPECT_EQ(AppointmentGet(&unknown), 0u);

  // An edit keeps the entry in the old bucket, whatever its new times say.
  APPOINTMENTRECORD moved = Record("c.MAI", k0900 - 86400, k0900);
  EXPECT_EQ(AppointmentEdit(&a, &moved), 1u);
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.CAL")),
            "1300093200\t1300179600\tc.MAI\n1300183200\t1300186800\tb.MAI");
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.BAK")), both);

  EXPECT_EQ(AppointmentRemove(&b), 1u);
  EXPECT_EQ(AppointmentRemove(&b), 0u);
  std::strcpy(moved.bucket, a.bucket);
  EXPECT_EQ(AppointmentRemove(&moved), 1u);
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.CAL"))) << "the last entry takes its file with it";
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.BAK")), "1300093200\t1300179600\tc.MAI");
  EXPECT_EQ(AppointmentRemove(&b), 0u);
  EXPECT_EQ(AppointmentFindFirst(&found), 0u);

  // Names that would lead out of the store, or no postoffice: nothing is touched.
  APPOINTMENTRECORD outside = Record("x.MAI", k0900, k0900);
  std::strcpy(outside.bucket, "..");
  EXPECT_EQ(AppointmentAdd(&outside), 0u);
  std::strcpy(outside.bucket, "Y11M03D15");
  std::strcpy(outside.mailbox, "../../../MB");
  EXPECT_EQ(AppointmentAdd(&outside), 0u);
  outside = Record("x.MAI", k0900, k0900);
  outside.postoffice[0] = '\0';
  EXPECT_EQ(AppointmentAdd(&outside), 0u);
  APPOINTMENTRECORD broken_line = Record("x\nY.MAI", k0900, k0900);
  EXPECT_EQ(AppointmentAdd(&broken_line), 0u) << "an identifier must not split its line";
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.CAL")));
}

TEST_F(ProviderFilesTest, ForeignLinesAreReadAndRewrittenButNothingIsCutShort) {
  const std::string long_line = "9\t9\t" + std::string(100 * 1024, 'z');
  const std::string foreign = "1\t2\tx.MAI\r\n\ngarbage\n3\t4\n" + long_line + "\n5\t6\ty.MAI\n";
  WriteFile(Calendar("Y11M03D15.CAL"), foreign);

  APPOINTMENTRECORD entry = Record("", 0, 0);
  std::strcpy(entry.bucket, "Y11M03D15");
  std::vector<std::string> seen;
  // The record's identifier selects the lines: emptied, it selects them all.
  for (uint32_t more = AppointmentFindFirst(&entry); more == 1; more = AppointmentFindNext(&entry)) {
    seen.push_back(std::to_string(entry.start) + "/" + std::to_string(entry.end) + "/" +
                   std::string(entry.identifier).substr(0, 8));
    entry.identifier[0] = '\0';
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"1/2/x.MAI", "0/0/", "3/4/", "9/9/zzzzzzzz", "5/6/y.MAI"}));

  APPOINTMENTRECORD added = Record("n.MAI", k0900, k0900 + kHour);
  ASSERT_EQ(AppointmentAdd(&added), 1u);
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.BAK")), foreign) << "the previous file is kept whole";
  const std::string rewritten = ReadFile(Calendar("Y11M03D15.CAL"));
  EXPECT_EQ(rewritten, "1\t2\tx.MAI\n0\t0\t\n3\t4\t\n9\t9\t" + std::string(kProviderLineLimit - 4, 'z') +
                           "\n5\t6\ty.MAI\n1300179600\t1300183200\tn.MAI");
  EXPECT_EQ(ParseProviderText(rewritten).size(), 6u);
}

TEST_F(ProviderFilesTest, AnAddKeepsTheBytesOfAWrittenFileAndRewritesEveryOtherLine) {
  const std::string added = "\n1300179600\t1300183200\tn.MAI";
  const struct {
    std::string before, after;
  } cases[] = {
      {"1\t2\ta.MAI\n-2147483648\t2147483647\t\tb c\n0\t0\t", ""},  // kept as it is
      {"01\t2\ta", "1\t2\ta"},
      {"+1\t2\ta", "1\t2\ta"},
      {" 1\t-0\ta", "1\t0\ta"},
      {"1x\t-\ta", "1\t0\ta"},
      {"2147483648\t-2147483649\ta", "2147483647\t-2147483648\ta"},
      {"1\t2\ta\r", "1\t2\ta"},
      {"1\t2\ta\n", "1\t2\ta"},
      {"1\t2", "1\t2\t"},
      {"1\t2\ta\n\n3\t4\tb", "1\t2\ta\n3\t4\tb"},
  };
  for (const auto& [before, after] : cases) {
    WriteFile(Calendar("Y11M03D15.CAL"), before);
    APPOINTMENTRECORD entry = Record("n.MAI", k0900, k0900 + kHour);
    ASSERT_EQ(AppointmentAdd(&entry), 1u) << before;
    EXPECT_EQ(ReadFile(Calendar("Y11M03D15.CAL")), (after.empty() ? before : after) + added) << before;
    EXPECT_EQ(ReadFile(Calendar("Y11M03D15.BAK")), before);
  }
  // An identifier already there, on a line that is not as written: nothing
  // is added, and the line is written anew.
  WriteFile(Calendar("Y11M03D15.CAL"), "1\t2\ta\n007\t8\tN.mai");
  APPOINTMENTRECORD again = Record("n.MAI", k0900, k0900);
  EXPECT_EQ(AppointmentAdd(&again), 0u);
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.CAL")), "1\t2\ta\n7\t8\tN.mai");
}

TEST_F(ProviderFilesTest, ABlockFileMakesWritersWaitThenBreaksItReadersToo) {
  SetTimeout("Write Wait Timeout", 5);
  SetTimeout("Read Wait Timeout", 3);
  SetTimeout("UnBlock Timeout", 2);
  APPOINTMENTRECORD a = Record("a.MAI", k0900, k0900 + kHour);
  MakeDirs(Calendar(""));
  WriteFile(Calendar("Y11M03D15.BLK"), "");  // left by a writer that died
  int sleeps = clock().sleeps();
  EXPECT_EQ(AppointmentAdd(&a), 1u);
  EXPECT_EQ(clock().sleeps() - sleeps, 6) << "Write Wait Timeout + 1 polls, then broken";
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.BLK")));

  WriteFile(Calendar("Y11M03D15.BLK"), "");
  sleeps = clock().sleeps();
  EXPECT_EQ(AppointmentGet(&a), 1u);
  EXPECT_EQ(clock().sleeps() - sleeps, 4) << "Read Wait Timeout + 1 polls, then broken";
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.BLK")));

  // A block another process keeps open cannot even be broken: the add gives
  // up after the UnBlock Timeout and leaves the file as it was.
  static uintptr_t handle = 0;
  const std::string block = mail_root() + "/PO/MAILROOT/MB/Calendar/Y11M03D15.BLK";
  test::ForkedHolder holder([&] { return WaitForAccessToIndexFileEx(block.c_str(), 1, &handle) == 1; });
  ASSERT_TRUE(holder.held());
  APPOINTMENTRECORD b = Record("b.MAI", k0900, k0900 + kHour);
  sleeps = clock().sleeps();
  EXPECT_EQ(AppointmentAdd(&b), 0u);
  EXPECT_EQ(clock().sleeps() - sleeps, 6 + 3);
  EXPECT_EQ(ReadFile(Calendar("Y11M03D15.CAL")), "1300179600\t1300183200\ta.MAI");
}

// Sleeps a thousandth of what it is asked: the writers' one-second polls
// pass in milliseconds.
class QuickClock : public platform::Clock {
 public:
  uint64_t NowFileTime() override { return platform::kUnixEpochAsFileTime; }
  uint64_t TickMilliseconds() override { return 0; }
  void SleepMilliseconds(uint32_t ms) override { usleep(ms); }
};

constexpr int kWriters = 4;
constexpr int kEntriesPerWriter = 24;

// Adds its entries and removes all but every fourth again, so that early
// on the file is often emptied (and deleted) while others add to it;
// returns the number of calls that did not do what they should.
int WriteAsProcess(int writer) {
  static QuickClock clock;
  platform::SetClock(&clock);
  int failures = 0;
  for (int i = 0; i < kEntriesPerWriter; ++i) {
    APPOINTMENTRECORD entry =
        MakeAppointmentRecord("PO", "MB", {k0900 + i, k0900 + i + 60, "w" + std::to_string(writer) + "_" + std::to_string(i)});
    if (AppointmentAdd(&entry) != 1) ++failures;
    if (i % 4 != 3 && AppointmentRemove(&entry) != 1) ++failures;
  }
  return failures;
}

TEST_F(ProviderFilesTest, WritersInFourProcessesLoseAndDoubleNothing) {
  setenv("QXSTORE_FSYNC", "never", 1);
  SetTimeout("Write Wait Timeout", 100000);  // no writer is taken for dead here
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(std::min(WriteAsProcess(writer), 100));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "calls that failed in a writer";
  }
  unsetenv("QXSTORE_FSYNC");

  const std::string text = ReadFile(Calendar("Y11M03D15.CAL"));
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  std::vector<std::string> identifiers;
  for (const ProviderLine& line : ParseProviderText(text)) identifiers.push_back(line.entry.identifier);
  std::vector<std::string> expected;
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 3; i < kEntriesPerWriter; i += 4) expected.push_back("w" + std::to_string(writer) + "_" + std::to_string(i));
  }
  std::sort(identifiers.begin(), identifiers.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(identifiers, expected);
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.BLK")));
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.TMP")));
}

TEST_F(ProviderFilesTest, ThreadsEnumeratingOneBucketEachSeeEveryEntryOnce) {
  std::string text;
  std::vector<std::string> all;
  for (int i = 0; i < 60; ++i) {
    all.push_back("e" + std::to_string(i) + ".MAI");
    text += (i == 0 ? "" : "\n") + std::to_string(k0900) + "\t" + std::to_string(k0900) + "\t" + all.back();
  }
  WriteFile(Calendar("Y11M03D15.CAL"), text);
  std::vector<std::string> seen[2];
  auto enumerate = [](std::vector<std::string>* out) {
    APPOINTMENTRECORD entry = MakeAppointmentRecord("PO", "MB", {k0900, k0900, ""});
    for (uint32_t more = AppointmentFindFirst(&entry); more == 1; more = AppointmentFindNext(&entry)) {
      out->push_back(entry.identifier);
      entry.identifier[0] = '\0';
      std::this_thread::yield();
    }
  };
  std::thread first(enumerate, &seen[0]);
  std::thread second(enumerate, &seen[1]);
  first.join();
  second.join();
  EXPECT_EQ(seen[0], all);
  EXPECT_EQ(seen[1], all);
}

}  // namespace
}  // namespace qx
