#include "folder/notify_clients.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "frame/store_paths.h"
#include "notify_listener.h"
#include "platform/computer_name.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/library_loader.h"
#include "folder/activity_file.h"
#include "folder/activity_lock.h"
#include "platform/file.h"
#include "support/forked_holder.h"
#include "support/test_store.h"

namespace qx {
namespace {

const std::string kNotifyKey = std::string(test::kLibraryRootKey) + "\\Notify";

std::string Line(const std::string& server, const std::string& protocol, const std::string& state,
                 const std::string& folder, int connection, const std::string& session) {
  return server + "\t" + protocol + "\t" + state + "\t10.1.1.1\t5000\t1700000000\t" + folder +
         "\t" + std::to_string(connection) + "\t" + session;
}

struct Call {
  std::string server, protocol, message;
  bool operator==(const Call&) const = default;
};
std::vector<Call> g_calls;

// Reaches every server but those whose name begins with "GONE".
int32_t RecordingNotifier(const char* server, const char* protocol, const char* message) {
  g_calls.push_back({server, protocol, message});
  return std::strncmp(server, "GONE", 4) == 0 ? 1 : 0;
}

class NotifyClientsTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    g_calls.clear();
    MakeDirs(mailbox());
    ReloadNotificationSettings();
  }
  void TearDown() override {
    platform::ClearFaults();
    StoreTest::TearDown();
  }

  std::string mailbox() const { return mail_root() + "/PO/MAILROOT/alice"; }
  std::string table() const { return mailbox() + "/_activity.tab"; }
  std::string directory() const { return MailboxDirectory("PO", "alice"); }
  std::set<std::string> FilesInMailbox() const {
    std::set<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(mailbox())) {
      names.insert(item.path().filename().string());
    }
    return names;
  }
  uint32_t Notify(const char* folder, const char* text) {
    return NotifyClientsWith(&RecordingNotifier, directory(), folder, text);
  }
  void SetWaitTimeout(uint32_t attempts) {
    registry().SetDword(std::string(test::kLibraryRootKey) + "\\Providers",
                        "Store Notification Wait Timeout", attempts);
    registry().Save();
    ReloadNotificationSettings();
  }
};

// Through the real notifier plugin: two loopback listeners stand in for two
// servers' services, one of them closed.
TEST_F(NotifyClientsTest, LiveServerIsToldAndTheDeadOnesEntryIsDropped) {
  platform::LibraryHandle plugin =
      platform::LoadLibrary(std::string(QX_BINARY_DIR) + "/libqxainfy.so");
  ASSERT_NE(plugin, nullptr);
  auto notify =
      reinterpret_cast<NotifyRemoteFunction>(platform::GetProcAddress(plugin, "NotifyRemote"));
  test::NotifyListener live(3);
  ASSERT_TRUE(live.listening());
  registry().SetDword(kNotifyKey, "IMAP Port",
                      live.port());  // for servers without a port of their own
  for (const char* server : {"LIVE", "DEAD", "OTHER"}) {
    registry().SetString(kNotifyKey + "\\Servers\\" + server, "Address", "127.0.0.1");
  }
  registry().SetDword(kNotifyKey + "\\Servers\\LIVE", "IMAP Port", live.port());
  registry().SetDword(kNotifyKey + "\\Servers\\DEAD", "IMAP Port", test::ClosedLoopbackPort());
  registry().Save();

  const std::string kept = Line("LIVE", "IMAP-4", "X-SELECT", "/Inbox", 7, "RUN-1");
  WriteFile(table(), kept + "\n" + Line("DEAD", "IMAP", "X-SELECT", "Inbox", 8, "RUN-2"));
  EXPECT_EQ(NotifyClientsWith(notify, directory(), "inbox", "COMMIT"), kNotifyDone);
  EXPECT_EQ(ReadFile(table()), kept);
  EXPECT_EQ(FilesInMailbox(), std::set<std::string>{"_activity.tab"});

  // The plugin sends whole messages, finds names in any case, and says why it could not.
  const std::string large(200000, 'q');
  EXPECT_EQ(notify("live", "imap", large.c_str()), 0);
  EXPECT_EQ(notify("OTHER", "IMAP", "to other"), 0);
  EXPECT_EQ(live.Stop(),
            (std::vector<std::string>{"[QX_NOTIFY]\t7\tRUN-1\tCOMMIT\r\n\r\n", large, "to other"}));
  EXPECT_EQ(notify("DEAD", "IMAP", "x"), 4);
  EXPECT_EQ(notify("OTHER", "GOPHER", "x"), 2);  // no port for an unknown protocol
  platform::FreeLibrary(plugin);
}

TEST_F(NotifyClientsTest, ChoosesWhomToTellAndKeepsTheFileWhenNobodyIsDropped) {
  std::string own = platform::ComputerName();
  // Written by hand, with a padded port: kept byte for byte while no entry goes.
  std::string contents =
      Line("A", "IMAP", "X-SELECT", "Inbox", 1, "s") + "\n" +
      Line("B", "IMAP-4", "X-SELECT", "\\inbox", 2, "s") + "\n" +
      Line("C", "POP3", "X-SELECT", "Inbox", 3, "s") + "\n" +
      Line("D", "IMAP", "X-IDLE", "", 4, "s") + "\n" +
      Line("E", "IMAP", "X-SELECT", "Sent", 5, "s") + "\n" + Line(own, "", "X", "Inbox", 6, "s") +
      "\nF\tSMTP\tX\t1.2.3.4\t0025\t1\tInbox\t9\ts";
  WriteFile(table(), contents);

  EXPECT_EQ(Notify("Inbox", "EXPUNGE"), kNotifyDone);
  EXPECT_EQ(g_calls, (std::vector<Call>{{"C", "POP3", "[QX_NOTIFY]\t3\ts\tEXPUNGE\r\n\r\n"},
                                        {"D", "IMAP", "[QX_NOTIFY]\t4\ts\tEXPUNGE\r\n\r\n"},
                                        {"F", "SMTP", "[QX_NOTIFY]\t9\ts\tEXPUNGE\r\n\r\n"}}));
  g_calls.clear();
  EXPECT_EQ(Notify("/INBOX", "commit"), kNotifyDone);
  std::vector<std::string> told;
  for (const Call& call : g_calls) told.push_back(call.server + "/" + call.protocol);
  EXPECT_EQ(told, (std::vector<std::string>{"A/IMAP", "B/IMAP", "C/POP3", "D/IMAP", "F/SMTP"}));
  EXPECT_EQ(ReadFile(table()), contents);
}

TEST_F(NotifyClientsTest, DropsOrphansInOrderRemovesAnEmptiedFileAndSurvivesAFailedRewrite) {
  const std::string first = Line("A", "IMAP", "X-IDLE", "", 1, "s");
  const std::string third = Line("C", "IMAP", "X-IDLE", "Inbox", 3, "s");
  const std::string contents = first + "\n" + Line("GONE1", "IMAP", "X", "", 2, "s") + "\n" +
                               third + "\n" + Line("GONE2", "POP3", "X", "Inbox", 4, "s") + "\n";
  WriteFile(table(), contents);
  // A rewrite that cannot be written or put in place leaves the file as it was.
  for (platform::FaultOp op : {platform::FaultOp::kWrite, platform::FaultOp::kMove}) {
    platform::InjectFault(op, "_activity.tmp", platform::kErrorDiskFull);
    EXPECT_EQ(Notify("Inbox", "COMMIT"), kNotifyDone);
    EXPECT_EQ(ReadFile(table()), contents);
    EXPECT_EQ(FilesInMailbox(), std::set<std::string>{"_activity.tab"});
  }
  EXPECT_EQ(Notify("Inbox", "COMMIT"), kNotifyDone);
  EXPECT_EQ(ReadFile(table()), first + "\n" + third);

  WriteFile(table(), Line("GONE1", "IMAP", "X", "", 2, "s"));
  EXPECT_EQ(Notify("Inbox", "COMMIT"), kNotifyDone);
  EXPECT_TRUE(FilesInMailbox().empty());
  // No activity file: nothing to do and nothing created.
  EXPECT_EQ(Notify("Inbox", "COMMIT"), kNotifyNoActivityFile);
  EXPECT_TRUE(FilesInMailbox().empty());
}

TEST_F(NotifyClientsTest, BreaksAStaleLockAfterTheWaitButNotOneHeldOpen) {
  std::string contents =
      Line("GONE", "IMAP", "X", "", 1, "s") + "\n" + Line("A", "IMAP", "X", "", 2, "s");
  WriteFile(table(), contents);
  WriteFile(mailbox() + "/_activity.blk", "");
  EXPECT_EQ(Notify("Inbox", "COMMIT"), kNotifyDone);
  EXPECT_EQ(clock().sleeps(), 100);
  EXPECT_EQ(ReadFile(table()), Line("A", "IMAP", "X", "", 2, "s"));
  EXPECT_FALSE(Exists(mailbox() + "/_activity.blk"));

  // A lock its holder keeps open cannot be broken: nobody is told.
  SetWaitTimeout(5);
  ActivityLock holder(directory());
  ASSERT_TRUE(holder.held());
  g_calls.clear();
  EXPECT_EQ(Notify("Inbox", "COMMIT"), kNotifyLockFailed);
  EXPECT_EQ(clock().sleeps(), 100 + 5 + 80);
  EXPECT_TRUE(g_calls.empty());
  EXPECT_TRUE(holder.Release());
}

TEST_F(NotifyClientsTest, ALockLeftByAKilledHolderIsBrokenAtOnceOnceOlderThanTheGrace) {
  WriteFile(table(), Line("A", "IMAP", "X", "", 2, "s"));
  const std::string lock = mailbox() + "/_activity.blk";
  const std::string activity_directory = directory();
  test::ForkedHolder killed([activity_directory] {
    static ActivityLock* held = new ActivityLock(activity_directory);
    return held->held();
  });
  ASSERT_TRUE(killed.held());
  ASSERT_TRUE(killed.Kill());
  ASSERT_TRUE(Exists(lock));
  const uint64_t eleven_seconds_ago = clock().NowFileTime() - 11 * 10000000ULL;
  ASSERT_TRUE(platform::SetFileTimes(lock, platform::FileTimes{0, 0, eleven_seconds_ago}));
  EXPECT_EQ(Notify("Inbox", "COMMIT"), kNotifyDone);
  EXPECT_EQ(clock().sleeps(), 0);
  EXPECT_EQ(g_calls.size(), 1u);
  EXPECT_FALSE(Exists(lock));
}

// One "second" of the store's waits is 10 ms here, so processes that meet
// at the lock wait for each other for real, briefly.
class FastClock : public platform::Clock {
 public:
  uint64_t NowFileTime() override { return 133000000000000000ULL; }
  uint64_t TickMilliseconds() override { return 0; }
  void SleepMilliseconds(uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::microseconds(ms * 10));
  }
};

TEST_F(NotifyClientsTest, ProcessesNotifyingAndAddingAtOnceLeaveAWellFormedFile) {
  constexpr int kRounds = 40;
  auto run_child = [](auto work) {
    pid_t pid = fork();
    if (pid == 0) {
      static FastClock fast;
      platform::SetClock(&fast);
      _exit(work());
    }
    return pid;
  };
  auto notifier = [this] {
    for (int i = 0; i < kRounds; ++i) {
      uint32_t result = Notify("Inbox", "COMMIT");
      if (result != kNotifyDone && result != kNotifyNoActivityFile) return 1;
    }
    return 0;
  };
  auto adder = [this] {
    for (int i = 0; i < kRounds; ++i) {
      ActivityLock lock(directory());
      if (!lock.held()) return 2;
      std::string text = ReadFile(table());
      if (!text.empty()) text += "\n";
      text += Line("LIVE" + std::to_string(i), "IMAP", "X", "", i, "s") + "\n" +
              Line("GONE" + std::to_string(i), "IMAP", "X", "", i, "s");
      platform::File file = platform::File::Open(directory() + "\\_activity.tab",
                                                 platform::Access::kWrite,
                                                 platform::Disposition::kCreateAlways);
      if (!file.Write(text) || !file.Close() || !lock.Release()) return 3;
    }
    return 0;
  };
  std::vector<pid_t> children = {run_child(notifier), run_child(adder), run_child(notifier)};
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  ASSERT_EQ(Notify("Inbox", "COMMIT"), kNotifyDone);
  std::string text = ReadFile(table());
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  std::set<std::string> servers;
  for (const std::string& line : SplitActivityLines(text)) {
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 8) << line;
    EXPECT_TRUE(servers.insert(ParseActivityEntry(line).server).second) << line;
  }
  std::set<std::string> expected;
  for (int i = 0; i < kRounds; ++i) expected.insert("LIVE" + std::to_string(i));
  EXPECT_EQ(servers, expected);
  EXPECT_EQ(FilesInMailbox(), std::set<std::string>{"_activity.tab"});
}

}  // namespace
}  // namespace qx
