// Several processes delivering into one folder at once, each writing its
// message files and indexing them with one transaction apiece, as the
// server's delivery agents do.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/index_open.h"
#include "index/store_index.h"
#include "platform/listing.h"
#include "qxstore.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

constexpr int kProcesses = 4;
constexpr int kMessagesPerProcess = 250;
constexpr int kInsertAttempts = 12;

// Delivers this process's messages; returns how many it could not index
// itself and left to the folder's change flag.
int DeliverAll(const std::string& folder_dir, int process) {
  int left_to_rescan = 0;
  for (int i = 0; i < kMessagesPerProcess; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "P%d_%04d.MAI", process, i);
    std::ofstream out(folder_dir + "/" + name, std::ios::binary);
    out << "From: sender@example.com\r\nTo: box@example.com\r\nSubject: " << name << "\r\n\r\n"
        << std::string(700, 'b') << "\r\n";
    out.close();
    if (!out) return 255;
    // A transaction that finds the block taken changes nothing and marks the
    // folder; the agent retries a few times, backing off so as not to take
    // the processor from the holder, and then leaves the file to the flag.
    bool indexed = false;
    for (int attempt = 0; attempt < kInsertAttempts && !indexed; ++attempt) {
      indexed = Direct_StoreIndex_InsertItem("PO", "box", "Inbox", name) == 1;
      if (!indexed) usleep(std::min(500 << attempt, 8000) + 100 * process);
    }
    if (!indexed) ++left_to_rescan;
  }
  return std::min(left_to_rescan, 254);
}

// A thousand index rewrites cost mostly file-system journaling on a disk, so
// the store lives in memory (tmpfs) where there is one.
class DeliveryStressTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    MailFolderTest::SetUp();
    char pattern[] = "/dev/shm/qxstore-stress-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return;
    memory_root_ = pattern;
    registry().SetString(test::kLibraryRootKey, "Mail Root", memory_root_);
    ReloadLibrary();
    mailbox_ = memory_root_ + "/PO/MAILROOT/box";
    folder_ = mailbox_ + "/Inbox";
    MakeDirs(folder_);
  }
  void TearDown() override {
    MailFolderTest::TearDown();
    std::error_code ignored;
    if (!memory_root_.empty()) std::filesystem::remove_all(memory_root_, ignored);
  }

  std::string memory_root_;
};

TEST_F(DeliveryStressTest, ConcurrentDeliveriesIndexEveryFileOnceWithDistinctUids) {
  WriteFile(mailbox_ + "/_DIRSIZE.TMP", "0");
  WriteFile(Path("_DIRSIZE.TMP"), "0");
  std::vector<pid_t> children;
  for (int process = 0; process < kProcesses; ++process) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(DeliverAll(folder_, process));
    children.push_back(pid);
  }
  int left_to_rescan = 0;
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 255) << "a message file could not be written";
    left_to_rescan += WEXITSTATUS(status);
  }
  RecordProperty("left_to_rescan", left_to_rescan);
  EXPECT_FALSE(Exists(Path("_index.blk")));

  // The open rescans whatever was left to the flag: every file, once, with its own UID.
  StoreIndex* index = NewIndex();
  ASSERT_NE(OpenStoreIndex(index, kOpenCheckDirty), kOpenFailed);
  std::set<std::string> ids, uids;
  uint64_t indexed_bytes = 0;
  const XmlDocument document = HeldDocument(index);
  for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
    ids.insert(AttributeValue(entry, kIdAttribute));
    const char* uid = AttributeValue(entry, kUidAttribute);
    ASSERT_NE(uid, nullptr);
    EXPECT_STRNE(uid, "0");
    uids.insert(uid);
    indexed_bytes += GetElementNumber(entry.child(kSizeElement));
  }
  std::set<std::string> files;
  uint64_t file_bytes = 0;
  for (platform::Listing listing = platform::Listing::Open(Path("*.MAI")); listing.valid();
       listing.Next()) {
    files.insert(listing.current().name);
    file_bytes += listing.current().size;
  }
  EXPECT_EQ(files.size(), static_cast<size_t>(kProcesses * kMessagesPerProcess));
  EXPECT_EQ(ids, files);
  EXPECT_EQ(uids.size(), files.size());
  EXPECT_EQ(indexed_bytes, file_bytes);

  // An adjuster that could not open a cache deleted it; whatever is left
  // must hold one well-formed number, and a size query then reports a size.
  for (const std::string& cache : {mailbox_ + "/_DIRSIZE.TMP", Path("_DIRSIZE.TMP")}) {
    if (!Exists(cache)) continue;
    const std::string text = ReadFile(cache);
    EXPECT_TRUE(!text.empty() &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        << cache << ": " << text;
  }
  STOREFOLDER folder{};
  std::snprintf(folder.postoffice, sizeof folder.postoffice, "PO");
  std::snprintf(folder.mailbox, sizeof folder.mailbox, "box");
  std::snprintf(folder.parent, sizeof folder.parent, "\\Inbox");
  ASSERT_EQ(StoreFolderGetSize(&folder), 1u);
  EXPECT_EQ(folder.size, file_bytes);
}

}  // namespace
}  // namespace qx
