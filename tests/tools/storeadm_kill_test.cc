// storeadm writing a large message into a folder, killed at random moments:
// no message file is ever found cut short under a name the scans index.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "platform/listing.h"
#include "support/test_store.h"

namespace qx {
namespace {

class StoreadmKillTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    setenv("QXSTORE_FSYNC", "never", 1);  // kills, not power losses
    inbox_ = mail_root() + "/PO/MAILROOT/box/Inbox";
    MakeDirs(inbox_);
    source_ = root() + "/large.eml";
    std::string text = "From: a@example.org\r\nSubject: large\r\n\r\n";
    while (text.size() < 4500 * 1024) text += std::string(76, 'x') + "\r\n";
    WriteFile(source_, text);
    source_size_ = text.size();
  }
  void TearDown() override {
    unsetenv("QXSTORE_FSYNC");
    StoreTest::TearDown();
  }

  pid_t Start(const std::string& command) {
    const pid_t child = fork();
    if (child == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      const std::string program = std::string(QX_BINARY_DIR) + "/storeadm";
      if (command == "deliver") {
        execl(program.c_str(), "storeadm", "deliver", "PO", "box", "Inbox", source_.c_str(), nullptr);
      } else {
        execl(program.c_str(), "storeadm", "put", "PO", "box", "Inbox", source_.c_str(), nullptr);
      }
      _exit(127);
    }
    return child;
  }

  // How long one run takes when left alone.
  double TimeOneRun(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    waitpid(Start(command), &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  struct Outcome {
    int whole = 0;      // message files of the full size
    int cut = 0;        // message files shorter or longer
    int temporary = 0;  // runs killed midway through a copy
  };

  // Counts, then deletes, what the folder holds.
  void Collect(Outcome* outcome) {
    for (platform::Listing files = platform::Listing::Open(inbox_ + "/*.*"); files.valid();
         files.Next()) {
      const platform::FindData& file = files.current();
      const std::string path = inbox_ + "/" + file.name;
      if (file.name.ends_with(".MAI")) {
        ++(file.size == source_size_ ? outcome->whole : outcome->cut);
      } else if (file.name.ends_with(".tmp")) {
        ++outcome->temporary;
      } else {
        continue;
      }
      unlink(path.c_str());
    }
  }

  Outcome KillRuns(const std::string& command, int kills) {
    const double run_seconds = TimeOneRun(command);
    Outcome outcome;
    Collect(&outcome);
    outcome = Outcome{};
    std::mt19937 random(4500);
    std::uniform_int_distribution<int> delay_us(0, static_cast<int>(run_seconds * 1e6));
    for (int round = 0; round < kills; ++round) {
      const pid_t child = Start(command);
      usleep(static_cast<useconds_t>(delay_us(random)));
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      unlink((inbox_ + "/_index.blk").c_str());
      Collect(&outcome);
    }
    std::printf("%s: %d kills (a run takes %.3f s): %d whole, %d cut, %d temporaries\n",
                command.c_str(), kills, run_seconds, outcome.whole, outcome.cut, outcome.temporary);
    return outcome;
  }

  std::string inbox_;
  std::string source_;
  uint64_t source_size_ = 0;
};

TEST_F(StoreadmKillTest, DeliverAndPutKilledMidwayLeaveNoCutMessage) {
  for (const char* command : {"deliver", "put"}) {
    const Outcome outcome = KillRuns(command, 150);
    EXPECT_EQ(outcome.cut, 0) << command;
    // The kills did land inside copies, and after some of them.
    EXPECT_GT(outcome.temporary, 0) << command;
    EXPECT_GT(outcome.whole, 0) << command;
  }
}

}  // namespace
}  // namespace qx
