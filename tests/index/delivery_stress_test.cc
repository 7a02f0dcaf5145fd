// Several processes delivering into one folder at once, each writing its
// message files and indexing them with one transaction apiece, as the
// server's delivery agents do.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
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
#include "support/test_store.h"

namespace qx {
namespace {

constexpr int kProcesses = 4;
constexpr int kMessagesPerProcess = 250;
constexpr int kInsertAttempts = 50;

std::string MessageName(int process, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "P%d_%04d.MAI", process, number);
  return name;
}

bool WriteMessage(const std::string& path, const std::string& name) {
  std::ofstream out(path, std::ios::binary);
  out << "From: sender@example.com\r\nTo: box@example.com\r\nSubject: " << name << "\r\n\r\n"
      << std::string(700, 'b') << "\r\n";
  return static_cast<bool>(out);
}

// Delivers this process's messages; returns how many it could not index
// itself and left to the folder's change flag.
int DeliverAll(const std::string& folder_dir, int process) {
  int left_to_rescan = 0;
  for (int i = 0; i < kMessagesPerProcess; ++i) {
    const std::string name = MessageName(process, i);
    if (!WriteMessage(folder_dir + "/" + name, name)) return 255;
    bool indexed = false;
    for (int attempt = 0; attempt < kInsertAttempts && !indexed; ++attempt) {
      indexed = Direct_StoreIndex_InsertItem("PO", "box", "Inbox", name.c_str()) == 1;
      if (!indexed) usleep(200 + 100 * process);
    }
    if (!indexed) ++left_to_rescan;
  }
  return std::min(left_to_rescan, 254);
}

bool IsDecimalNumber(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return c >= '0' && c <= '9';
  });
}

class DeliveryStressTest : public test::StoreTest {};

TEST_F(DeliveryStressTest, ConcurrentDeliveriesIndexEveryFileOnceWithDistinctUids) {
  const std::string mailbox_dir = mail_root() + "/PO/MAILROOT/box";
  const std::string folder_dir = mailbox_dir + "/Inbox";
  MakeDirs(folder_dir);
  WriteFile(mailbox_dir + "/_DIRSIZE.TMP", "0");
  WriteFile(folder_dir + "/_DIRSIZE.TMP", "0");

  std::vector<pid_t> children;
  for (int process = 0; process < kProcesses; ++process) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(DeliverAll(folder_dir, process));
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
  EXPECT_FALSE(Exists(folder_dir + "/_index.blk"));

  StoreIndex* index = CreateStoreIndex();
  ASSERT_TRUE(CreateStoreIndexMutex(index));
  SetStoreIndexNames(index, "PO", "box", "Inbox");
  SetStoreIndexPaths(index);
  ASSERT_NE(OpenStoreIndex(index, kOpenCheckDirty), kOpenFailed);

  std::set<std::string> ids;
  std::set<std::string> uids;
  uint64_t indexed_bytes = 0;
  for (pugi::xml_node entry : HeldDocument(index).DocumentElement().children(kEntryElement)) {
    ids.insert(AttributeValue(entry, kIdAttribute));
    const char* uid = AttributeValue(entry, kUidAttribute);
    ASSERT_NE(uid, nullptr);
    EXPECT_STRNE(uid, "0");
    uids.insert(uid);
    indexed_bytes += GetElementNumber(entry.child(kSizeElement));
  }
  std::set<std::string> files;
  uint64_t file_bytes = 0;
  for (platform::Listing listing = platform::Listing::Open(folder_dir + "/*.MAI"); listing.valid();
       listing.Next()) {
    files.insert(listing.current().name);
    file_bytes += listing.current().size;
  }
  EXPECT_EQ(files.size(), static_cast<size_t>(kProcesses * kMessagesPerProcess));
  EXPECT_EQ(ids, files);
  EXPECT_EQ(uids.size(), files.size());
  EXPECT_EQ(indexed_bytes, file_bytes);
  ReleaseStoreIndex(index);
  DestroyStoreIndex(index);

  // An adjuster that could not open a cache deleted it; whatever is left
  // must hold one well-formed number.
  for (const std::string& directory : {mailbox_dir, folder_dir}) {
    const std::string cache = directory + "/_DIRSIZE.TMP";
    if (Exists(cache)) {
      EXPECT_TRUE(IsDecimalNumber(ReadFile(cache))) << cache;
    }
  }
}

}  // namespace
}  // namespace qx
