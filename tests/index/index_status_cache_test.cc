#include "index/index_status_cache.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "index/direct_transactions.h"
#include "index/index_open.h"
#include "platform/civil_date.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "qxstore.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

class IndexStatusCacheTest : public test::MailFolderTest {
 protected:
  // Moves the test clock past every file time the test makes, so that a
  // freshly written index counts as settled.
  void SettleFileTimes() {
    const uint64_t real_now = (static_cast<uint64_t>(std::time(nullptr)) + 60) * platform::kTicksPerSecond +
                              platform::kUnixEpochAsFileTime;
    clock().Advance((real_now - platform::NowFileTime()) / 10000);
  }

  struct Opened {
    uint32_t how = 0;
    uint32_t status[kFolderStatusFields] = {};
  };
  // A status query as a new process makes it: a fresh index object.
  Opened Open() {
    Opened opened;
    opened.how = OpenIndexForStatus(NewIndex(), FolderStatusRecord(opened.status));
    return opened;
  }

  // Replaces a same-length piece of the index text in another process,
  // then puts the old modification time back, as a careless tool would.
  void RewriteElsewhere(const std::string& from, const std::string& to, bool in_place) {
    ASSERT_EQ(from.size(), to.size());
    std::string text = ReadFile(Path("_index.xml"));
    text.replace(text.find(from), from.size(), to);
    platform::FileTimes times;
    ASSERT_TRUE(platform::GetFileTimes(Path("_index.xml"), &times));
    const pid_t child = fork();
    if (child == 0) {
      if (in_place) {
        platform::File file = platform::File::Open(Path("_index.xml"), platform::Access::kWrite,
                                                   platform::Disposition::kOpenExisting);
        _exit(file.valid() && file.Write(text) ? 0 : 1);
      }
      WriteFile(Path("_index.new"), text);
      _exit(platform::MoveFileEx(Path("_index.new"), Path("_index.xml"), true) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(platform::SetFileTimes(Path("_index.xml"), times));
    ASSERT_EQ(ReadFile(Path("_index.xml")), text);
  }
};

TEST_F(IndexStatusCacheTest, CountsComeFromTheCacheOnlyWhileTheIndexFileIsTheSame) {
  Put("A.MAI", test::MessageText("one"));
  Put("B.MAI", test::MessageText("two"));
  ASSERT_EQ(Direct_StoreIndex_InsertItem("PO", "box", "Inbox", "A.MAI,B.MAI"), 1u);
  platform::DeleteFile(Path("_CHANGE.DTY"));

  // Just written, the file could still change within its time step: it is
  // not cached yet.
  EXPECT_EQ(Open().how, kOpenLoaded);
  EXPECT_EQ(Open().how, kOpenLoaded);

  SettleFileTimes();
  EXPECT_EQ(Open().how, kOpenLoaded);
  Opened cached = Open();
  ASSERT_EQ(cached.how, kOpenCounted);
  EXPECT_EQ(cached.status[kStatusEntries], 2u);
  EXPECT_EQ(cached.status[kStatusRecent], 2u);
  EXPECT_EQ(cached.status[kStatusLastUid], 2u);

  // The same size and modification time, written by another process.
  RewriteElsewhere("\\RECENT</FLAGSTATUS>", "\\SEEN  </FLAGSTATUS>", false);
  Opened after = Open();
  EXPECT_EQ(after.how, kOpenLoaded);
  EXPECT_EQ(after.status[kStatusSeen], 1u);
  EXPECT_EQ(after.status[kStatusRecent], 1u);
  EXPECT_EQ(Open().how, kOpenCounted);

  // An edit in place, within the same second, time restored.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  RewriteElsewhere("\\RECENT</FLAGSTATUS>", "\\SEEN  </FLAGSTATUS>", true);
  after = Open();
  EXPECT_EQ(after.how, kOpenLoaded);
  EXPECT_EQ(after.status[kStatusSeen], 2u);
  EXPECT_EQ(after.status[kStatusRecent], 0u);

  // Another index renamed into place.
  std::string other = ReadFile(Path("_index.xml"));
  other.replace(other.find("LASTUID=\"2\""), 11, "LASTUID=\"9\"");
  WriteFile(Path("_other.xml"), other);
  ASSERT_TRUE(platform::MoveFileEx(Path("_other.xml"), Path("_index.xml"), true));
  after = Open();
  EXPECT_EQ(after.how, kOpenLoaded);
  EXPECT_EQ(after.status[kStatusLastUid], 9u);
  EXPECT_EQ(after.status[kStatusSeen], 2u);

  // Caches off: every open loads.
  setenv("QXSTORE_CACHE_DIR", "", 1);
  EXPECT_EQ(Open().how, kOpenLoaded);
  EXPECT_EQ(Open().how, kOpenLoaded);
}

}  // namespace
}  // namespace qx
