// A writer of a provider file killed at random moments, often inside a
// rewrite: the file that stays is whole and holds every entry whose add
// had returned.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

#include "pim/appointment_records.h"
#include "pim/provider_file_format.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

constexpr int32_t k0900 = 1300179600;  // 15 March 2011, 09:00 UTC

APPOINTMENTRECORD Record(const std::string& identifier) {
  return MakeAppointmentRecord("PO", "MB", {k0900, k0900 + 3600, identifier});
}

// Adds entries numbered from `first` for ever, telling each number on
// `done_fd` once its add has returned.
[[noreturn]] void AddForEver(int first, int done_fd) {
  for (int number = first;; ++number) {
    APPOINTMENTRECORD entry = Record("k" + std::to_string(number) + ".MAI");
    if (AppointmentAdd(&entry) != 1) _exit(2);
    if (write(done_fd, &number, sizeof number) != sizeof number) _exit(3);
  }
}

class ProviderFileKillTest : public test::StoreTest {
 protected:
  std::string Calendar(const std::string& extension) const {
    return mail_root() + "/PO/MAILROOT/MB/Calendar/Y11M03D15" + extension;
  }
};

TEST_F(ProviderFileKillTest, AWriterKilledAtAnyMomentLosesNoAddThatReturned) {
  setenv("QXSTORE_FSYNC", "never", 1);  // a killed process loses no write the system has
  MakeDirs(mail_root() + "/PO/MAILROOT/MB/Calendar");
  // Enough entries before the writer's that each rewrite takes a while.
  ProviderTextWriter prefilled;
  for (int i = 0; i < 3000; ++i) prefilled.Add({k0900, k0900 + 3600, "filler" + std::to_string(i) + ".MAI"});
  WriteFile(Calendar(".CAL"), prefilled.text());

  std::set<std::string> committed;
  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> delay_us(0, 30000);
  int killed_inside_a_write = 0;
  int next = 0;
  constexpr int kRounds = 30;
  for (int round = 0; round < kRounds; ++round) {
    int done[2];
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    if (child == 0) AddForEver(next, done[1]);
    close(done[1]);
    const auto take = [&](int number) {
      committed.insert("k" + std::to_string(number) + ".MAI");
      next = std::max(next, number + 1);
    };
    // Every other round lets one add through first, so that a slow machine
    // still has adds that returned before a kill.
    int number = 0;
    if (round % 2 == 1 && read(done[0], &number, sizeof number) == sizeof number) take(number);
    usleep(static_cast<useconds_t>(delay_us(random)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own, status " << status;
    while (read(done[0], &number, sizeof number) == sizeof number) take(number);
    close(done[0]);
    ++next;  // the add under way when the writer died may have landed

    const std::string text = ReadFile(Calendar(".CAL"));
    ASSERT_FALSE(text.empty()) << "round " << round;
    ASSERT_NE(text.back(), '\n') << "round " << round;
    std::multiset<std::string> on_disk;
    for (const ProviderLine& line : ParseProviderText(text)) on_disk.insert(line.entry.identifier);
    for (const std::string& identifier : committed) {
      ASSERT_EQ(on_disk.count(identifier), 1u) << identifier << " in round " << round;
    }
    ASSERT_LE(on_disk.size(), 3000 + committed.size() + round + 1) << "round " << round;
    for (const std::string& identifier : on_disk) ASSERT_EQ(on_disk.count(identifier), 1u) << identifier;

    // A block is held from the read of the file to its commit, so a block
    // left behind means the writer died inside a write; it is cleared here
    // rather than waited out.
    if (Exists(Calendar(".BLK"))) {
      ++killed_inside_a_write;
      std::remove(Calendar(".BLK").c_str());
    }
  }
  RecordProperty("killed_inside_a_write", killed_inside_a_write);
  EXPECT_GE(killed_inside_a_write, kRounds / 2);
  EXPECT_GT(committed.size(), 0u);

  // The bucket is usable afterwards: an add goes through.
  APPOINTMENTRECORD last = Record("last.MAI");
  EXPECT_EQ(AppointmentAdd(&last), 1u);
  EXPECT_NE(ReadFile(Calendar(".CAL")).find("\tlast.MAI"), std::string::npos);
  EXPECT_FALSE(Exists(Calendar(".TMP")));
  unsetenv("QXSTORE_FSYNC");
}

}  // namespace
}  // namespace qx
