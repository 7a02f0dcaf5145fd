#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>

#include "frame/registry_readers.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "qxstore.h"
#include "store/size_settings.h"
#include "support/test_store.h"

namespace qx {
namespace {

constexpr const char* kConnectorKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\CONNECTORS\\SF";
class MailboxSizeTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    mailbox_ = mail_root() + "/PO/MAILROOT/box";
    MakeDirs(mailbox_ + "/Inbox");
    ForgetSizeSettings();
  }

  void UseMode(uint32_t mode) {
    registry().SetDword(kConnectorKey, "Quota Enumeration Mode", mode);
    ReloadLibrary();
    ForgetSizeSettings();
  }

  static MAILBOXSIZE Record(int32_t quota_kb = 0) {
    MAILBOXSIZE record{};
    std::strcpy(record.postoffice, "PO");
    std::strcpy(record.mailbox, "box");
    record.enabled = 1;
    record.quota_kb = quota_kb;
    return record;
  }

  // Backdates a file so that the fake clock sees it `seconds` old.
  void SetAge(const std::string& path, uint64_t seconds) {
    platform::FileTimes times;
    times.last_write = platform::NowFileTime() - seconds * 10000000ULL;
    times.last_access = times.last_write;
    ASSERT_TRUE(platform::SetFileTimes(path, times)) << path;
  }

  using Result = std::pair<uint32_t, uint32_t>;  // what GetMailboxSize returned, size_kb
  static Result Query() {
    MAILBOXSIZE record = Record();
    const uint32_t result = GetMailboxSize(&record);
    return {result, record.size_kb};
  }
  void WriteBytes(const std::string& path, size_t count) {
    WriteFile(path, std::string(count, 'x'));
  }

  std::string Cache() const { return mailbox_ + "/_DIRSIZE.TMP"; }

  std::string mailbox_;
};

TEST_F(MailboxSizeTest, InboxModesSumMaiFilesAndAlwaysReturnZero) {
  UseMode(0);
  WriteBytes(mailbox_ + "/Inbox/a.MAI", 3000);
  WriteBytes(mailbox_ + "/Inbox/c.mai", 2000);
  WriteBytes(mailbox_ + "/Inbox/_hidden.MAI", 50000);  // not a message
  WriteBytes(mailbox_ + "/Inbox/notes.txt", 40000);
  WriteBytes(mailbox_ + "/Other.MAI", 90000);  // outside the Inbox

  EXPECT_EQ(Query(), (Result{0, 4}));  // 5000 bytes
  EXPECT_EQ(ReadFile(mailbox_ + "/Inbox/_DIRSIZE.TMP"), "4");
  EXPECT_FALSE(Exists(Cache()));
}

TEST_F(MailboxSizeTest, WholeMailboxWalkSkipsUnderscoreNamesAndTrustsCacheByAge) {
  UseMode(3);
  WriteBytes(mailbox_ + "/Inbox/a.MAI", 2048);
  MakeDirs(mailbox_ + "/Sent/Old");
  WriteBytes(mailbox_ + "/Sent/b.MAI", 1024);
  WriteBytes(mailbox_ + "/Sent/Old/c.MAI", 1536);
  WriteBytes(mailbox_ + "/Sent/_index.xml", 100000);
  MakeDirs(mailbox_ + "/_internal");
  WriteBytes(mailbox_ + "/_internal/big.MAI", 100000);

  EXPECT_EQ(Query(), (Result{1, 4}));  // 4608 bytes >> 10
  EXPECT_EQ(ReadFile(Cache()), "4");

  // A cache written this second is not trusted: the walk runs again.
  WriteFile(Cache(), "900");
  EXPECT_EQ(Query(), (Result{1u, 4u}));

  // Trusted from 1 to 1200 seconds of age.
  for (const auto& [age, size] : {std::pair<int, uint32_t>{1, 900}, {1200, 900}, {1201, 4}}) {
    WriteFile(Cache(), "900");
    SetAge(Cache(), age);
    EXPECT_EQ(Query(), (Result{1, size})) << age;
  }
}

// The walk counts what the mailbox holds: not a file or directory a link
// leads to (outside, or back into the mailbox), and a FIFO never stops it.
TEST_F(MailboxSizeTest, WholeMailboxWalkCountsNoLinkedDirectoryNorFileOutside) {
  UseMode(3);
  WriteBytes(mailbox_ + "/Inbox/a.MAI", 2048);
  WriteBytes(mailbox_ + "/Sent/b.MAI", 1024);
  WriteBytes(root() + "/elsewhere/big.MAI", 200000);
  ASSERT_EQ(mkfifo((mailbox_ + "/Inbox/pipe.MAI").c_str(), 0600), 0);
  for (const auto& [target, name] : {std::pair<std::string, std::string>{mailbox_, "Inbox/loop"},
                                     {root() + "/elsewhere", "Archive"},
                                     {root() + "/elsewhere/big.MAI", "Sent/big.MAI"},
                                     {mailbox_ + "/Inbox/a.MAI", "Sent/copy.MAI"}}) {
    ASSERT_EQ(symlink(target.c_str(), (mailbox_ + "/" + name).c_str()), 0) << name;
  }
  EXPECT_EQ(Query(), (Result{1, 5}));  // 2048 + 1024 + 2048 (the link inside) >> 10
}

TEST_F(MailboxSizeTest, WalkStopsOnceTheQuotaIsReached) {
  UseMode(1);
  for (int folder = 0; folder < 3; ++folder) {
    const std::string directory = mailbox_ + "/F" + std::to_string(folder);
    MakeDirs(directory);
    for (int i = 0; i < 10; ++i) WriteBytes(directory + "/m" + std::to_string(i) + ".MAI", 10240);
  }
  MAILBOXSIZE record = Record(/*quota_kb=*/100);
  EXPECT_EQ(GetMailboxSize(&record), 1u);
  EXPECT_GE(record.size_kb, 100u);
  EXPECT_LT(record.size_kb, 300u);  // the rest of the mailbox was never read
  EXPECT_EQ(ReadFile(Cache()), std::to_string(record.size_kb));
}

// A clock that moves a second every time it is read.
class SteppingClock : public platform::Clock {
 public:
  uint64_t NowFileTime() override { return 0; }
  uint64_t TickMilliseconds() override { return ticks_ += 1000; }
  void SleepMilliseconds(uint32_t) override {}

 private:
  uint64_t ticks_ = 0;
};

TEST_F(MailboxSizeTest, WalkPastTheTimeoutGivesNoSizeAndNoCache) {
  registry().SetDword(kConnectorKey, "Quota Calc Timeout", 3);
  UseMode(1);
  for (int i = 0; i < 8; ++i) WriteBytes(mailbox_ + "/Inbox/m" + std::to_string(i) + ".MAI", 4096);
  WriteFile(Cache(), "77");  // written this second: not trusted
  SteppingClock stepping;
  platform::SetClock(&stepping);
  const Result result = Query();
  platform::SetClock(&clock());
  EXPECT_EQ(result, (Result{0, 0}));
  EXPECT_FALSE(Exists(Cache()));
  EXPECT_FALSE(Exists(mailbox_ + "/_index.blk"));
}

// Another process holds the mailbox's block file while it computes.
TEST_F(MailboxSizeTest, HeldMailboxBlockGivesNoSizeAndStaysInPlace) {
  UseMode(1);
  WriteBytes(mailbox_ + "/Inbox/a.MAI", 8192);
  WriteFile(Cache(), "12");  // written this second: not trusted
  const std::string block = mailbox_ + "/_index.blk";
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(block.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    char byte = fd >= 0 ? 'y' : 'n';
    if (fd >= 0) close(fd);
    if (write(ready[1], &byte, 1) != 1) _exit(2);
    if (read(release[0], &byte, 1) != 1) _exit(3);
    unlink(block.c_str());
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');

  EXPECT_EQ(Query(), (Result{0u, 0u}));
  EXPECT_TRUE(Exists(block));     // the other process's exclusion holds
  EXPECT_FALSE(Exists(Cache()));  // the next query computes again

  ASSERT_EQ(write(release[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(Query(), (Result{1u, 8u}));
}

}  // namespace
}  // namespace qx
