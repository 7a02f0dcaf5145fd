#include "index/index_scan.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "index/folder_status.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_entry.h"
#include "index/index_format.h"
#include "index/store_index.h"
#include "message/message_uid.h"
#include "platform/file.h"
#include "platform/socket.h"
#include "support/test_store.h"

namespace qx {
namespace {

std::string Message(const std::string& subject, const std::string& extra_headers = "",
                    const std::string& body = "Hello\r\n") {
  return "From: sender@example.org\r\nSubject: " + subject + "\r\n" + extra_headers +
         "Date: Tue, 01 Mar 2011 12:00:00 +0000\r\n\r\n" + body;
}

class IndexScanTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    ForgetUidBrandingSetting();
    ForgetMaximumIndexRows();
    folder_ = mail_root() + "/PO/MAILROOT/box/Work";
    MakeDirs(folder_);
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  void Put(const std::string& name, const std::string& contents) { WriteFile(Path(name), contents); }
  uint32_t Scan(bool create_new = false, bool clear_recent = false) {
    return ScanFolders(folder_.c_str(), create_new, clear_recent);
  }

  XmlDocument Index() const {
    XmlDocument document = XmlDocument::New();
    EXPECT_TRUE(LoadDocumentFile(document, Path("_index.xml")));
    return document;
  }
  // (ID, UID) of every entry in document order.
  std::vector<std::pair<std::string, uint32_t>> Entries() const {
    std::vector<std::pair<std::string, uint32_t>> entries;
    XmlDocument document = Index();
    for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
      entries.emplace_back(entry.attribute(kIdAttribute).value(), entry.attribute(kUidAttribute).as_uint());
    }
    return entries;
  }
  std::string Child(const std::string& id, const char* name) const {
    XmlDocument document = Index();
    return GetChildText(FindItemElement(document, id), name);
  }
  std::vector<uint32_t> Status() const {
    std::vector<uint32_t> status(kFolderStatusFields);
    EXPECT_EQ(ReadFolderStatusFile(Path("_FOLDER.DAT"), status.data()), 1u);
    return status;
  }
  void SetWriteTime(const std::string& name, uint64_t file_time) {
    ASSERT_TRUE(platform::SetFileTimes(Path(name), platform::FileTimes{0, 0, file_time}));
  }

  std::string folder_;
};

using Entry = std::pair<std::string, uint32_t>;

TEST_F(IndexScanTest, BuildsEntriesInNameOrderAndNeverIndexesStoreOrOverlongNames) {
  const std::string name63 = std::string(59, 'n') + ".MAI";
  const std::string name64 = std::string(60, 'n') + ".MAI";
  Put("b.MAI", Message("second"));
  Put("A.MAI", Message("first", "X-QXTempFlags: \\FLAGGED\r\n"));
  Put(name63, Message("third", "X-Read: 1\r\n"));
  Put(name64, Message("too long"));
  Put("_x.MAI", Message("store file"));
  Put(".hidden.MAI", Message("hidden"));
  Put("note.txt", Message("not a message"));

  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Entries(), (std::vector<Entry>{{"A.MAI", 1}, {"b.MAI", 2}, {name63, 3}}));
  EXPECT_EQ(Index().DocumentElement().attribute(kLastUidAttribute).as_uint(), 3u);
  EXPECT_EQ(Child("A.MAI", kFlagStatusElement), "\\FLAGGED \\RECENT");
  EXPECT_EQ(Child("b.MAI", kFlagStatusElement), "\\RECENT");
  EXPECT_EQ(Child(name63, kFlagStatusElement), "\\SEEN");

  // The temporary flags now live in the index alone.
  EXPECT_EQ(ReadFile(Path("A.MAI")), Message("first"));

  const std::vector<uint32_t> status = Status();
  EXPECT_EQ(status[kStatusEntries], 3u);
  EXPECT_EQ(status[kStatusRecent], 2u);
  EXPECT_EQ(status[kStatusSeen], 1u);
  EXPECT_EQ(status[kStatusFlagged], 1u);
  EXPECT_EQ(status[kStatusLastUid], 3u);
}

TEST_F(IndexScanTest, RescanKeepsUidsDropsGoneFilesAddsNewOnesAndRefreshesChangedOnes) {
  for (const char* name : {"a.MAI", "c.MAI", "e.MAI"}) Put(name, Message(name));
  ASSERT_EQ(Scan(), 1u);
  ASSERT_EQ(Entries(), (std::vector<Entry>{{"a.MAI", 1}, {"c.MAI", 2}, {"e.MAI", 3}}));

  unlink(Path("c.MAI").c_str());
  Put("b.MAI", Message("b"));
  Put("f.MAI", Message("f"));
  Put("e.MAI", Message("edited subject"));
  SetWriteTime("e.MAI", 132000000000000000ULL);
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Entries(), (std::vector<Entry>{{"a.MAI", 1}, {"b.MAI", 4}, {"e.MAI", 3}, {"f.MAI", 5}}));
  EXPECT_EQ(Child("e.MAI", kSubjectElement), "edited subject");
  EXPECT_EQ(Child("e.MAI", kSizeElement), std::to_string(Message("edited subject").size()));

  // Files whose stamp is unchanged are not read again: a subject changed
  // behind the index's back is not seen.
  platform::FileTimes times;
  ASSERT_TRUE(platform::GetFileTimes(Path("a.MAI"), &times));
  Put("a.MAI", Message("A.MAI"));
  SetWriteTime("a.MAI", times.last_write);
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Child("a.MAI", kSubjectElement), "a.MAI");
  EXPECT_EQ(Entries(), (std::vector<Entry>{{"a.MAI", 1}, {"b.MAI", 4}, {"e.MAI", 3}, {"f.MAI", 5}}));
}

TEST_F(IndexScanTest, UidAboveTheLastUidIsRenumberedAndItsHeaderRewritten) {
  Put("a.MAI", Message("a"));
  ASSERT_EQ(Scan(), 1u);
  const uint32_t validity = FolderUidValidity(folder_);
  ASSERT_NE(validity, 0u);
  const std::string high = "X-UID: " + std::to_string(validity) + ".40\r\n";
  const std::string low_other = "X-UID: 7\r\n";  // no validity: not read back
  Put("b.MAI", Message("b", high));
  Put("c.MAI", Message("c", low_other));
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Entries(), (std::vector<Entry>{{"a.MAI", 1}, {"b.MAI", 2}, {"c.MAI", 3}}));
  EXPECT_EQ(ReadFile(Path("b.MAI")), Message("b", "X-UID: " + std::to_string(validity) + ".2\r\n"));
  EXPECT_EQ(ReadFile(Path("c.MAI")), Message("c", low_other));
}

TEST_F(IndexScanTest, RebuildFromScratchStripsStoreHeadersAndKeepsEveryBodyByte) {
  const std::string body = "line one\r\nX-UID: 5.5 in the body stays\r\n\r\n\x01\xff tail";
  Put("a.MAI", Message("a", "", body));
  Put("b.MAI", Message("b", "", body));
  ASSERT_EQ(Scan(), 1u);
  // Headers an ordinary rescan leaves alone: a UID of this folder within
  // its range, on a file whose entry is up to date.
  const std::string uid_line = "X-UID: " + std::to_string(FolderUidValidity(folder_)) + ".1\r\n";
  platform::FileTimes times;
  ASSERT_TRUE(platform::GetFileTimes(Path("a.MAI"), &times));
  Put("a.MAI", Message("a", uid_line + "X-QXTempFlags: \\ANSWERED\r\n", body));
  SetWriteTime("a.MAI", times.last_write);
  ASSERT_EQ(Scan(), 1u);
  ASSERT_NE(ReadFile(Path("a.MAI")), Message("a", "", body));

  ASSERT_EQ(Scan(/*create_new=*/true), 1u);
  EXPECT_EQ(Entries(), (std::vector<Entry>{{"a.MAI", 1}, {"b.MAI", 2}}));
  EXPECT_EQ(ReadFile(Path("a.MAI")), Message("a", "", body));
  EXPECT_EQ(ReadFile(Path("b.MAI")), Message("b", "", body));
  EXPECT_EQ(Child("a.MAI", kFlagStatusElement), "\\ANSWERED \\RECENT");
}

TEST_F(IndexScanTest, ClearRecentDropsTheRecentFlagFromEveryEntry) {
  Put("a.MAI", Message("a", "X-QXTempFlags: \\SEEN\r\n"));
  Put("b.MAI", Message("b", "X-QXTempFlags: \\RECENT \\FLAGGED\r\n"));
  ASSERT_EQ(Scan(), 1u);
  ASSERT_EQ(Scan(false, /*clear_recent=*/true), 1u);
  // A trailing "\\RECENT" goes without its blank; the blank before it stays.
  EXPECT_EQ(Child("a.MAI", kFlagStatusElement), "\\SEEN ");
  EXPECT_EQ(Child("b.MAI", kFlagStatusElement), "\\FLAGGED");
  EXPECT_EQ(Status()[kStatusRecent], 0u);
}

TEST_F(IndexScanTest, EmptyFolderLosesEveryEntryButKeepsItsStoredSize) {
  Put("a.MAI", std::string(3000, 'x'));
  Put("b.MAI", Message("b"));
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(ReadFile(Path("_DIRSIZE.TMP")), std::to_string((3000 + Message("b").size()) / 1024));
  WriteFile(Path("_DIRSIZE.TMP"), "77");
  unlink(Path("a.MAI").c_str());
  unlink(Path("b.MAI").c_str());
  ASSERT_EQ(Scan(), 1u);
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(Status()[kStatusEntries], 0u);
  EXPECT_EQ(ReadFile(Path("_DIRSIZE.TMP")), "77");
}

TEST_F(IndexScanTest, RowLimitListsOneNameFewerAndDropsEntriesPastIt) {
  for (const char* name : {"a.MAI", "b.MAI", "c.MAI", "d.MAI", "e.MAI"}) Put(name, Message(name));
  ASSERT_EQ(Scan(), 1u);
  ASSERT_EQ(Entries().size(), 5u);
  registry().SetDword(test::kLibraryRootKey, "Maximum Index Rows", 3);
  registry().Save();
  ForgetMaximumIndexRows();
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Entries(), (std::vector<Entry>{{"a.MAI", 1}, {"b.MAI", 2}}));
}

TEST_F(IndexScanTest, CallerSocketIsPolledEveryHundredFilesAndADeadOneAbortsTheScan) {
  for (int i = 0; i < 250; ++i) Put("m" + std::to_string(1000 + i) + ".MAI", std::string(1024, 'x'));
  Put("_index.xml", "<BASEELEMENT LASTUID=\"9\"><ELEMENT ID=\"gone.MAI\" UID=\"9\"/></BASEELEMENT>");
  StoreIndex index;
  InitStoreIndex(&index);
  SetFolderDirectory(&index, folder_);

  uint16_t port = 0;
  platform::SocketHandle listener = platform::ListenTcp("127.0.0.1", 0, &port);
  ASSERT_NE(listener, 0);
  platform::SocketHandle caller = platform::CreateTcpSocket();
  ASSERT_TRUE(platform::ConnectIPv4(caller, *platform::ResolveIPv4("127.0.0.1"), port));
  platform::SocketHandle peer = platform::AcceptTcp(listener, 5000);
  ASSERT_NE(peer, 0);

  // A live client that sent nothing lets the scan run to the end.
  EXPECT_EQ(ScanFolderIndex(&index, false, false, caller, kScanDefault), 1u);
  EXPECT_EQ(Entries().size(), 250u);

  const std::string before = "<BASEELEMENT/>";
  Put("_index.xml", before);
  platform::CloseSocket(peer);
  EXPECT_EQ(ScanFolderIndex(&index, false, false, caller, kScanDefault), 0u);
  EXPECT_EQ(ReadFile(Path("_index.xml")), before);
  // 99 files were summed before the 100th found the client gone.
  EXPECT_EQ(ReadFile(Path("_DIRSIZE.TMP")), "99");
  EXPECT_FALSE(Exists(Path("_index.blk")));
  platform::CloseSocket(caller);
  platform::CloseSocket(listener);
  ReleaseStoreIndex(&index);
}

TEST_F(IndexScanTest, BusyBlockFileSkipsTheScan) {
  Put("a.MAI", Message("a"));
  Put("_index.blk", "");
  EXPECT_EQ(Scan(), 0u);
  EXPECT_FALSE(Exists(Path("_index.xml")));
  unlink(Path("_index.blk").c_str());
  EXPECT_EQ(Scan(), 1u);
  EXPECT_FALSE(Exists(Path("_index.blk")));
}

TEST_F(IndexScanTest, ScansOfTwoProcessesAtOnceNeverHandOutAUidTwice) {
  for (int i = 0; i < 40; ++i) Put("m" + std::to_string(1000 + i) + ".MAI", Message(std::to_string(i)));
  pid_t children[2];
  for (pid_t& child : children) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int round = 0; round < 40; ++round) ScanFolders(folder_.c_str(), false, false);
      _exit(0);
    }
  }
  for (int i = 40; i < 120; ++i) {
    Put("m" + std::to_string(1000 + i) + ".MAI", Message(std::to_string(i)));
    usleep(500);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_FALSE(Exists(Path("_index.blk")));
  ASSERT_EQ(Scan(), 1u);
  const std::vector<Entry> entries = Entries();
  ASSERT_EQ(entries.size(), 120u);
  std::vector<uint32_t> uids;
  for (const Entry& entry : entries) uids.push_back(entry.second);
  std::sort(uids.begin(), uids.end());
  EXPECT_EQ(std::adjacent_find(uids.begin(), uids.end()), uids.end());
  EXPECT_EQ(uids.back(), Index().DocumentElement().attribute(kLastUidAttribute).as_uint());
}

TEST_F(IndexScanTest, ScanKilledAtAnyMomentLeavesAReadableIndex) {
  for (int i = 0; i < 400; ++i) Put("m" + std::to_string(1000 + i) + ".MAI", Message(std::to_string(i)));
  ASSERT_EQ(Scan(), 1u);
  for (int round = 0; round < 25; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) ScanFolders(folder_.c_str(), true, false);
    }
    usleep(3000 + round * 1500);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    unlink(Path("_index.blk").c_str());
    XmlDocument document = Index();
    ASSERT_TRUE(document.DocumentElement()) << "round " << round;
  }
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Entries().size(), 400u);
}

}  // namespace
}  // namespace qx
