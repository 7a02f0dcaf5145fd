#include "index/index_scan.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
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
#include "support/mail_folder_test.h"

namespace qx {
namespace {

std::string Message(const std::string& subject, const std::string& extra_headers = "",
                    const std::string& body = "Hello\r\n") {
  return test::MessageText(subject, extra_headers, body);
}

using Entry = std::pair<std::string, uint32_t>;

class IndexScanTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    MailFolderTest::SetUp();
    ForgetUidBrandingSetting();
    ForgetMaximumIndexRows();
  }
  void TearDown() override {
    SetScanReadAheadMinimum(0);
    MailFolderTest::TearDown();
  }

  uint32_t Scan(bool create_new = false, bool clear_recent = false) {
    return ScanFolders(folder_.c_str(), create_new, clear_recent);
  }
  // (ID, UID) of every entry in document order.
  std::vector<Entry> Entries() const {
    std::vector<Entry> entries;
    XmlDocument document = LoadIndex();
    for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
      entries.emplace_back(entry.attribute(kIdAttribute).value(),
                           entry.attribute(kUidAttribute).as_uint());
    }
    return entries;
  }
  uint32_t LastUid() const {
    return LoadIndex().DocumentElement().attribute(kLastUidAttribute).as_uint();
  }
  std::vector<uint32_t> Status() const {
    std::vector<uint32_t> status(kFolderStatusFields);
    EXPECT_EQ(ReadFolderStatusFile(Path("_FOLDER.DAT"), status.data()), 1u);
    return status;
  }
  void SetWriteTime(const std::string& name, uint64_t file_time) {
    ASSERT_TRUE(platform::SetFileTimes(Path(name), platform::FileTimes{0, 0, file_time}));
  }
};

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
  EXPECT_EQ(IndexField("A.MAI", kFlagStatusElement), "\\FLAGGED \\RECENT");
  EXPECT_EQ(IndexField(name63, kFlagStatusElement), "\\SEEN");
  // The temporary flags now live in the index alone.
  EXPECT_EQ(ReadFile(Path("A.MAI")), Message("first"));
  EXPECT_EQ(Status()[kStatusRecent], 2u);
}

TEST_F(IndexScanTest, RescanKeepsUidsRenumbersUidsAboveTheLastAndRefreshesChangedFiles) {
  for (const char* name : {"a.MAI", "c.MAI"}) Put(name, Message(name));
  Put("e.MAI", Message("e", "X-QXTempFlags: \\ANSWERED\r\n"));
  ASSERT_EQ(Scan(), 1u);
  ASSERT_EQ(Entries(), (std::vector<Entry>{{"a.MAI", 1}, {"c.MAI", 2}, {"e.MAI", 3}}));

  // A UID of this folder above its last UID is renumbered in the file too;
  // one without the folder's validity is not read back, and its file stays.
  const std::string validity = std::to_string(FolderUidValidity(folder_));
  const std::string other_uid = "X-UID: 7\r\n";
  unlink(Path("c.MAI").c_str());
  Put("b.MAI", Message("b", "X-UID: " + validity + ".40\r\n"));
  Put("f.MAI", Message("f", other_uid));
  Put("e.MAI", Message("edited subject"));
  SetWriteTime("e.MAI", 132000000000000000ULL);
  ASSERT_EQ(Scan(), 1u);
  const std::vector<Entry> expected{{"a.MAI", 1}, {"b.MAI", 4}, {"e.MAI", 3}, {"f.MAI", 5}};
  EXPECT_EQ(Entries(), expected);
  EXPECT_EQ(ReadFile(Path("b.MAI")), Message("b", "X-UID: " + validity + ".4\r\n"));
  EXPECT_EQ(ReadFile(Path("f.MAI")), Message("f", other_uid));
  EXPECT_EQ(IndexField("e.MAI", kSubjectElement), "edited subject");
  EXPECT_EQ(IndexField("e.MAI", kFlagStatusElement),
            "\\ANSWERED \\RECENT");  // a refresh keeps the flags
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
  EXPECT_EQ(IndexField("a.MAI", kFlagStatusElement), "\\ANSWERED \\RECENT");
}

TEST_F(IndexScanTest, BusyBlockSkipsTheScanAndClearRecentDropsTheRecentFlag) {
  Put("a.MAI", Message("a", "X-QXTempFlags: \\SEEN\r\n"));
  Put("b.MAI", Message("b", "X-QXTempFlags: \\RECENT \\FLAGGED\r\n"));
  Put("_index.blk", "");
  EXPECT_EQ(Scan(), 0u);
  EXPECT_FALSE(Exists(Path("_index.xml")));
  unlink(Path("_index.blk").c_str());
  ASSERT_EQ(Scan(), 1u);
  ASSERT_EQ(Scan(false, /*clear_recent=*/true), 1u);
  // A trailing "\\RECENT" goes without its blank; the blank before it stays.
  EXPECT_EQ(IndexField("a.MAI", kFlagStatusElement), "\\SEEN ");
  EXPECT_EQ(IndexField("b.MAI", kFlagStatusElement), "\\FLAGGED");
  EXPECT_EQ(Status()[kStatusRecent], 0u);
}

TEST_F(IndexScanTest, RowLimitDropsEntriesPastItAndAnEmptyFolderKeepsItsStoredSize) {
  const std::string message = Message("m", "", std::string(1000, 'x'));
  for (const char* name : {"a.MAI", "b.MAI", "c.MAI", "d.MAI", "e.MAI"}) Put(name, message);
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(ReadFile(Path("_DIRSIZE.TMP")), std::to_string(5 * message.size() / 1024));

  // "Maximum Index Rows" 3 lists one name fewer than the limit.
  registry().SetDword(test::kLibraryRootKey, "Maximum Index Rows", 3);
  registry().Save();
  ForgetMaximumIndexRows();
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Entries(), (std::vector<Entry>{{"a.MAI", 1}, {"b.MAI", 2}}));

  WriteFile(Path("_DIRSIZE.TMP"), "77");
  for (const char* name : {"a.MAI", "b.MAI", "c.MAI", "d.MAI", "e.MAI"}) unlink(Path(name).c_str());
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Status()[kStatusEntries], 0u);
  EXPECT_EQ(ReadFile(Path("_DIRSIZE.TMP")), "77");
}

TEST_F(IndexScanTest, CallerSocketIsPolledEveryHundredFilesAndADeadOneAbortsTheScan) {
  for (int i = 0; i < 250; ++i) {
    Put("m" + std::to_string(1000 + i) + ".MAI", std::string(1024, 'x'));
  }
  Put("_index.xml",
      "<BASEELEMENT LASTUID=\"9\"><ELEMENT ID=\"gone.MAI\" UID=\"9\"/></BASEELEMENT>");
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
  platform::CloseSocket(caller);
  platform::CloseSocket(listener);
  ReleaseStoreIndex(&index);
}

// Every file of the folder by name: its bytes and last-write time.
using FolderFiles = std::map<std::string, std::pair<std::string, uint64_t>>;

TEST_F(IndexScanTest, ReadAheadScanWritesTheSameBytesAsASerialScan) {
  auto snapshot = [&] {
    FolderFiles files;
    for (const auto& found : std::filesystem::directory_iterator(folder_)) {
      const std::string name = found.path().filename();
      platform::FileTimes times;
      EXPECT_TRUE(platform::GetFileTimes(Path(name), &times));
      files[name] = {ReadFile(Path(name)), times.last_write};
    }
    return files;
  };
  auto restore = [&](const FolderFiles& files) {
    for (const auto& found : std::filesystem::directory_iterator(folder_)) std::filesystem::remove(found.path());
    for (const auto& [name, file] : files) {
      Put(name, file.first);
      SetWriteTime(name, file.second);
    }
  };
  auto contents = [&] {
    FolderFiles files = snapshot();
    for (auto& [name, file] : files) file.second = 0;
    return files;
  };

  // An indexed folder, then new files among the indexed ones: UIDs of this
  // folder above its last, foreign ones, temporary flags, attachments in
  // the body, an edited file and a removed one.
  SetScanReadAheadMinimum(1000000);
  for (int i = 0; i < 150; i += 3) Put("m" + std::to_string(1000 + i) + ".MAI", Message(std::to_string(i)));
  ASSERT_EQ(Scan(), 1u);
  const std::string validity = std::to_string(FolderUidValidity(folder_));
  for (int i = 0; i < 150; ++i) {
    if (i % 3 == 0) continue;
    std::string headers;
    if (i % 7 == 0) headers += "X-UID: " + validity + "." + std::to_string(500 + i) + "\r\n";
    if (i % 11 == 0) headers += "X-UID: 3.3\r\n";
    if (i % 5 == 0) headers += "X-QXTempFlags: \\FLAGGED\r\n";
    std::string body = "body " + std::to_string(i) + "\r\n";
    if (i % 4 == 0) {
      headers += "Content-Type: multipart/mixed; boundary=\"b\"\r\n";
      body = "--b\r\n\r\ntext\r\n--b\r\nContent-Disposition: attachment; filename=a\r\n\r\nx\r\n--b--\r\n";
    }
    Put("m" + std::to_string(1000 + i) + ".MAI", Message("new " + std::to_string(i), headers, body));
  }
  Put("m1030.MAI", Message("edited"));
  SetWriteTime("m1030.MAI", 132000000000000000ULL);
  unlink(Path("m1060.MAI").c_str());
  const FolderFiles before = snapshot();

  // A rebuild lists names only and takes sizes and stamps from the open
  // files; a rescan takes them from the listing: the entries agree.
  std::map<std::string, std::string> described[2];
  for (bool create_new : {false, true}) {
    restore(before);
    SetScanReadAheadMinimum(1);
    ASSERT_EQ(Scan(create_new), 1u);
    const FolderFiles read_ahead = contents();
    restore(before);
    SetScanReadAheadMinimum(1000000);
    ASSERT_EQ(Scan(create_new), 1u);
    EXPECT_EQ(Entries().size(), 149u);
    EXPECT_TRUE(read_ahead == contents()) << "rebuild " << create_new;
    for (const auto& [name, uid] : Entries()) {
      described[create_new][name] = IndexField(name, kSizeElement) + " " + IndexField(name, kModifiedDateElement);
    }
  }
  EXPECT_EQ(described[0], described[1]);
}

TEST_F(IndexScanTest, ScansOfTwoProcessesAtOnceNeverHandOutAUidTwice) {
  for (int i = 0; i < 40; ++i) {
    Put("m" + std::to_string(1000 + i) + ".MAI", Message(std::to_string(i)));
  }
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
  EXPECT_EQ(uids.back(), LastUid());
}

TEST_F(IndexScanTest, ScanKilledAtAnyMomentLeavesAReadableIndex) {
  for (int i = 0; i < 400; ++i) {
    Put("m" + std::to_string(1000 + i) + ".MAI", Message(std::to_string(i)));
  }
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
    XmlDocument document = XmlDocument::New();
    ASSERT_TRUE(LoadDocumentFile(document, Path("_index.xml"))) << "round " << round;
  }
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Entries().size(), 400u);
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

// An index built from nothing is written as text, streamed to its file
// while the folder is read; an index that exists, even without entries, is
// scanned through the DOM. For files that carry no UID both must write the
// same bytes, and the same status, also when a listed file gives no entry
// (LASTUID then comes out lower than the streamed text supposed, as long
// or shorter).
TEST_F(IndexScanTest, AnIndexBuiltFromNothingIsTheIndexTheDomWrites) {
  const char* const awkward[] = {
      "Subject: a & b <c> \"d\" 'e'\r\nTo: x@y,\r\n\tz@w\r\n",
      "Subject: bytes \x01\x7f\x80\xe9\xff and \ttab\r\nCC: <c@x>\r\n",
      "X-Read: 1\r\nX-Priority: 1\r\nX-QX-Class: IPM.Note & co\r\n",
      "X-QXTempFlags: \\DELETED \\ANSWERED\r\nDate: Tue, 01 Mar 2011 12:00:00 +0100\r\n",
      "X-QXTempFlags: \\Flagged \\Seen\r\nX-Read: 1\r\nReply-To: r@x\r\n",
      "Content-Type: multipart/mixed; boundary=\"b\"\r\n",
      "Received: by mx; Tue, 01 Mar 2011 10:00:00 +0000\r\nMessage-ID: <id&1>\r\n",
      "",
  };
  const std::string names[] = {"a&b.MAI", "q\"uote.MAI", "l<t>g.MAI", "tab\there.MAI", "\xe9t\xe9.MAI"};
  // Both scans strip the temporary flags from the files: each starts from
  // the same files and times.
  auto put_files = [&](int count) {
    for (int i = 0; i < count; ++i) {
      const std::string body = i % 2 ? "--b\r\nContent-Disposition: attachment\r\n\r\nx\r\n--b--\r\n" : "text\r\n";
      const std::string name = i < 5 ? names[i] : "m" + std::to_string(i) + ".MAI";
      Put(name, Message("s" + std::to_string(i), awkward[i % std::size(awkward)], body));
      SetWriteTime(name, 132000000000000000ULL + i * 10000000ULL);
    }
  };
  Put("dir.MAI/x", "a folder under a message name gets no entry");
  SetScanTextStreamPiece(700);

  struct Case {
    int files;
    bool unreadable;
    size_t read_ahead;
  };
  for (const Case& with : {Case{90, false, 1}, Case{90, false, 1000000}, Case{90, true, 1}, Case{99, true, 1}}) {
    SCOPED_TRACE(std::to_string(with.files) + " files, unreadable " + std::to_string(with.unreadable) +
                 ", read ahead from " + std::to_string(with.read_ahead));
    if (with.unreadable && !std::filesystem::is_symlink(Path("zz.MAI"))) {
      ASSERT_EQ(::symlink("nowhere", Path("zz.MAI").c_str()), 0);
    }
    SetScanReadAheadMinimum(with.read_ahead);
    unlink(Path("_index.xml").c_str());
    put_files(with.files);
    ASSERT_EQ(Scan(), 1u);
    const std::string as_text = ReadFile(Path("_index.xml"));
    const std::vector<uint32_t> text_status = Status();

    Put("_index.xml", "<BASEELEMENT LASTUID=\"0\"/>");
    put_files(with.files);
    ASSERT_EQ(Scan(), 1u);
    EXPECT_TRUE(ReadFile(Path("_index.xml")) == as_text);
    EXPECT_EQ(Status(), text_status);
    EXPECT_EQ(Entries().size(), static_cast<size_t>(with.files));
    EXPECT_EQ(LastUid(), static_cast<uint32_t>(with.files));
    EXPECT_EQ(text_status[kStatusDeleted], with.files > 90 ? 12u : 11u);
    EXPECT_FALSE(std::filesystem::exists(Path("_index.xml.tmp")));
  }
  SetScanTextStreamPiece(0);
}

}  // namespace
}  // namespace qx
