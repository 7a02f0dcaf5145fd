#include "index/index_commit.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "common/block_files.h"
#include "index/folder_status.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_entry.h"
#include "index/index_format.h"
#include "index/index_save.h"
#include "index/index_open.h"
#include "index/index_stamp.h"
#include "index/index_transaction.h"
#include "index/store_index.h"
#include "platform/diagnostics.h"
#include "platform/file.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;  // ID, FLAGSTATUS

constexpr const char* kMessage = "From: a@example.com\r\nSubject: hello\r\n\r\nbody\r\n";

// The real time `seconds_ago`, as a FILETIME: index stamps come from the
// file system, not from the test clock.
uint64_t FileTimeSecondsAgo(int seconds_ago) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t unix_seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
  return platform::kUnixEpochAsFileTime +
         static_cast<uint64_t>(unix_seconds - seconds_ago) * platform::kTicksPerSecond;
}

class IndexCommitTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    mailbox_ = mail_root() + "/PO/MAILROOT/box";
    folder_ = mailbox_ + "/Inbox";
    MakeDirs(folder_);
  }

  void TearDown() override {
    for (StoreIndex* index : opened_) {
      ReleaseStoreIndex(index);
      DestroyStoreIndex(index);
    }
    SetPendingItemWriter(kFolderTypeMail, nullptr);
    test::StoreTest::TearDown();
  }

  std::string IndexPath() const { return folder_ + "/_index.xml"; }
  std::string ChangeFlagPath() const { return folder_ + "/_CHANGE.DTY"; }

  // An index file of `entries`, last written `age_seconds` ago.
  void WriteIndex(const Entries& entries, int age_seconds = 10) {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    ASSERT_TRUE(InitializeIndexDocument(document));
    uint32_t uid = 0;
    for (const auto& [id, flags] : entries) {
      pugi::xml_node entry = AppendElement(document.DocumentElement(), kEntryElement);
      SetAttribute(entry, kIdAttribute, id);
      SetAttribute(entry, kUidAttribute, std::to_string(++uid));
      SetChildText(entry, kFlagStatusElement, flags);
      SetChildText(entry, kReadElement, "0");
    }
    SetDocumentLastUid(document, uid);
    WriteFile(IndexPath(), document.Xml());
    Age(IndexPath(), age_seconds);
  }

  static void Age(const std::string& path, int seconds) {
    const uint64_t then = FileTimeSecondsAgo(seconds);
    ASSERT_TRUE(platform::SetFileTimes(path, platform::FileTimes{0, then, then}));
  }

  // An index object holding the folder's index as an open loads it.
  StoreIndex* OpenHeld(const char* folder = "Inbox") {
    StoreIndex* index = CreateStoreIndex();
    opened_.push_back(index);
    EXPECT_TRUE(CreateStoreIndexMutex(index));
    SetStoreIndexNames(index, "PO", "box", folder);
    SetStoreIndexPaths(index);
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(LoadDocumentFile(document, FolderFilePath(index->folder_directory, kIndexFileName)));
    HoldDocument(index, document);
    index->index_stamp = StoredIndexStamp(FolderIndexStamp(index->folder_directory, 0));
    return index;
  }

  static pugi::xml_node Entry(const StoreIndex* index, const char* id) {
    return FindItemElement(HeldDocument(index), id);
  }

  static void SetFlags(StoreIndex* index, const char* id, const char* flags) {
    SetChildText(Entry(index, id), kFlagStatusElement, flags);
    index->modified = 1;
  }

  XmlDocument LoadIndexFile() const {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(LoadDocumentFile(document, IndexPath()));
    return document;
  }

  std::string mailbox_;
  std::string folder_;
  std::vector<StoreIndex*> opened_;
};

TEST_F(IndexCommitTest, ASaveWithNoOtherWriterWritesTheDocumentAndFollowsTheNewStamp) {
  WriteIndex({{"A.MAI", "\\RECENT"}, {"B.MAI", "\\SEEN"}});
  StoreIndex* index = OpenHeld();
  const uint32_t loaded_stamp = index->index_stamp;
  SetFlags(index, "A.MAI", "\\ANSWERED");

  EXPECT_EQ(::StoreIndex_Save(index, kSavePlain), 1u);
  EXPECT_EQ(ReadFile(IndexPath()), HeldDocument(index).Xml());
  EXPECT_NE(index->index_stamp, loaded_stamp);
  EXPECT_EQ(index->index_stamp, FolderIndexStamp(index->folder_directory, 0));
  EXPECT_EQ(index->modified, 0u);
  EXPECT_FALSE(Exists(ChangeFlagPath()));
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));

  // The stamp the save recorded lets the next save pass too; the sort mode
  // saves the same way.
  SetFlags(index, "B.MAI", "\\DELETED");
  EXPECT_EQ(::StoreIndex_Save(index, kSaveSorted), 1u);
  EXPECT_EQ(GetChildText(FindItemElement(LoadIndexFile(), "B.MAI"), kFlagStatusElement), "\\DELETED");
  EXPECT_FALSE(Exists(ChangeFlagPath()));
}

TEST_F(IndexCommitTest, AnotherWritersChangeIsOverwrittenReportedAndMarksTheFolderDirty) {
  WriteIndex({{"A.MAI", "\\RECENT"}}, 20);
  StoreIndex* index = OpenHeld();
  const uint32_t loaded_stamp = index->index_stamp;

  // Someone else rewrites the index after this object loaded it.
  WriteIndex({{"A.MAI", "\\RECENT"}, {"Z.MAI", "\\RECENT"}}, 6);
  SetFlags(index, "A.MAI", "\\SEEN");
  EXPECT_EQ(::StoreIndex_Save(index, kSavePlain), 0u);

  EXPECT_EQ(ReadFile(IndexPath()), HeldDocument(index).Xml());
  EXPECT_EQ(ReadFile(ChangeFlagPath()),
            "This file is a flag file that denotes that this folder has been changed");
  EXPECT_EQ(index->index_stamp, loaded_stamp);
  EXPECT_EQ(index->modified, 1u);
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));
}

TEST_F(IndexCommitTest, ABusyBlockFileStopsTheSaveUnlessTheCallerHoldsIt) {
  WriteIndex({{"A.MAI", "\\RECENT"}});
  const std::string before = ReadFile(IndexPath());
  StoreIndex* index = OpenHeld();
  SetFlags(index, "A.MAI", "\\SEEN");
  WriteFile(folder_ + "/_index.blk", "");

  EXPECT_EQ(::StoreIndex_Save(index, kSavePlain), 0u);
  EXPECT_EQ(ReadFile(IndexPath()), before);
  EXPECT_TRUE(Exists(ChangeFlagPath()));
  EXPECT_TRUE(Exists(folder_ + "/_index.blk"));  // another holder's block is left alone
  EXPECT_EQ(index->modified, 1u);

  EXPECT_EQ(SaveHeldIndex(index, kSavePlain, kBlockHeldByCaller), 1u);
  EXPECT_NE(ReadFile(IndexPath()), before);
  EXPECT_TRUE(Exists(folder_ + "/_index.blk"));
}

TEST_F(IndexCommitTest, SavesWithoutDocumentOrDirectoryWriteNothing) {
  EXPECT_EQ(::StoreIndex_Save(nullptr, kSavePlain), 0u);
  StoreIndex* empty = CreateStoreIndex();
  opened_.push_back(empty);
  SetStoreIndexNames(empty, "PO", "box", "Inbox");
  SetStoreIndexPaths(empty);
  EXPECT_EQ(::StoreIndex_Save(empty, kSavePlain), 0u);
  EXPECT_FALSE(Exists(ChangeFlagPath()));

  // A document without a folder directory is "saved" without a file.
  StoreIndex* nowhere = CreateStoreIndex();
  opened_.push_back(nowhere);
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  ASSERT_TRUE(InitializeIndexDocument(document));
  HoldDocument(nowhere, document);
  nowhere->modified = 1;
  EXPECT_EQ(::StoreIndex_Save(nowhere, kSavePlain), 1u);
  EXPECT_EQ(nowhere->modified, 0u);
  EXPECT_FALSE(Exists(IndexPath()));
}

TEST_F(IndexCommitTest, ACommitSavesOnlyModifiedIndexesAndCachesTheirStatus) {
  setenv("QXSTORE_DIAG", "stdout", 1);
  platform::ReloadDiagnosticsSettings();
  WriteIndex({{"A.MAI", "\\SEEN \\ANSWERED"}, {"B.MAI", "\\RECENT"}, {"C.MAI", "\\RECENT"}});
  const std::string before = ReadFile(IndexPath());
  StoreIndex* index = OpenHeld();

  EXPECT_EQ(CommitStoreIndex(index), 1u);  // nothing modified: nothing written
  EXPECT_EQ(ReadFile(IndexPath()), before);
  EXPECT_FALSE(Exists(folder_ + "/_FOLDER.DAT"));

  SetFlags(index, "C.MAI", "\\FLAGGED \\SEEN");
  EXPECT_EQ(CommitStoreIndex(index), 1u);
  EXPECT_EQ(GetChildText(FindItemElement(LoadIndexFile(), "C.MAI"), kFlagStatusElement),
            "\\FLAGGED \\SEEN");
  EXPECT_EQ(index->modified, 0u);
  std::array<uint32_t, kFolderStatusFields> cached{};
  ASSERT_EQ(::GetCachedStatus("PO", "box", "Inbox", cached.data()), 1u);
  const std::array<uint32_t, kFolderStatusFields> expected{0, 0, 0, 1, 1, 1, 3, 2, 1, 0, 0, 3, 0};
  EXPECT_EQ(cached, expected);
  EXPECT_TRUE(std::equal(cached.begin(), cached.end(), index->folder_status));

  testing::internal::CaptureStdout();
  EXPECT_EQ(CommitStoreIndex(nullptr), 0u);
  StoreIndex* unnamed = CreateStoreIndex();
  opened_.push_back(unnamed);
  unnamed->modified = 1;
  EXPECT_EQ(CommitStoreIndex(unnamed), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "WARNING!: StoreIndex is NULL when passed to StoreIndex_Commit\n"
            "WARNING!: StoreIndex Folder has not been set. Commit is ignored\n");
  setenv("QXSTORE_DIAG", "off", 1);
  platform::ReloadDiagnosticsSettings();
}

std::vector<std::string> written_items;

bool RecordWrittenItem(StoreIndex*, pugi::xml_node entry) {
  written_items.push_back(AttributeValue(entry, kIdAttribute));
  return true;
}

TEST_F(IndexCommitTest, PendingItemsAreWrittenBackUnmarkedAndCommitted) {
  WriteIndex({{"A.MAI", "\\RECENT"}, {"B.MAI", "\\RECENT"}, {"C.MAI", "\\RECENT"}});
  StoreIndex* index = OpenHeld();
  written_items.clear();
  SetPendingItemWriter(kFolderTypeMail, RecordWrittenItem);

  MarkEntryPending(Entry(index, "A.MAI"));
  MarkEntryPending(Entry(index, "C.MAI"));
  EXPECT_EQ(SavePendingItems(index), 1u);  // not modified: nothing happens
  EXPECT_TRUE(written_items.empty());
  EXPECT_TRUE(IsEntryPending(Entry(index, "A.MAI")));

  SetFlags(index, "C.MAI", "\\SEEN");
  EXPECT_EQ(SavePendingItems(index), 1u);
  EXPECT_EQ(written_items, (std::vector<std::string>{"A.MAI", "C.MAI"}));
  EXPECT_EQ(index->modified, 0u);
  EXPECT_EQ(ReadFile(IndexPath()).find(kPendingStatusElement), std::string::npos);
  EXPECT_EQ(GetChildText(FindItemElement(LoadIndexFile(), "C.MAI"), kFlagStatusElement), "\\SEEN");
  EXPECT_EQ(SavePendingItems(nullptr), 0u);
}

TEST_F(IndexCommitTest, AFirstTransactionOnAFolderWithoutIndexFailsToCommitButWrites) {
  StoreIndex* index = CreateStoreIndex();
  opened_.push_back(index);
  ASSERT_EQ(OpenIndexForTransaction(index, "PO", "box", "Inbox"), 1u);
  EXPECT_EQ(index->index_stamp, kNoIndexStamp);
  EXPECT_TRUE(Exists(folder_ + "/_index.blk"));
  EXPECT_EQ(HeldDocument(index).Xml(), "<BASEELEMENT/>");

  pugi::xml_node entry = AppendElement(HeldDocument(index).DocumentElement(), kEntryElement);
  SetAttribute(entry, kIdAttribute, "A.MAI");
  EXPECT_EQ(SaveAndCloseIndex(index, true), 1u);
  EXPECT_EQ(ReadFile(IndexPath()), "<BASEELEMENT><ELEMENT ID=\"A.MAI\"/></BASEELEMENT>");
  EXPECT_TRUE(Exists(ChangeFlagPath()));
  EXPECT_FALSE(Exists(folder_ + "/_FOLDER.DAT"));
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));
}

TEST_F(IndexCommitTest, ATransactionHoldsTheBlockFromOpenToCloseAndCachesTheStatus) {
  WriteIndex({{"A.MAI", "\\RECENT"}});
  StoreIndex* index = CreateStoreIndex();
  opened_.push_back(index);
  uintptr_t block = 0;
  ASSERT_EQ(OpenIndexForTransaction(index, "PO", "box", "Inbox", true, &block), 1u);
  EXPECT_NE(block, 0u);
  EXPECT_EQ(index->folder_type, kFolderTypeMail);

  // A second transaction on the folder cannot begin meanwhile.
  StoreIndex* other = CreateStoreIndex();
  opened_.push_back(other);
  EXPECT_EQ(OpenIndexForTransaction(other, "PO", "box", "Inbox"), 0u);
  // With the handle kept, no other process can even delete the block file.
  EXPECT_FALSE(platform::DeleteFile(folder_ + "/_index.blk"));

  SetFlags(index, "A.MAI", "\\SEEN");
  EXPECT_EQ(SaveAndCloseIndex(index, true, true, &block), 1u);
  EXPECT_EQ(block, 0u);
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));
  EXPECT_FALSE(Exists(ChangeFlagPath()));
  std::array<uint32_t, kFolderStatusFields> cached{};
  ASSERT_EQ(ReadFolderStatusFile(folder_ + "/_FOLDER.DAT", cached.data()), 1u);
  EXPECT_EQ(cached[kStatusEntries], 1u);
  EXPECT_EQ(cached[kStatusSeen], 1u);
  EXPECT_EQ(cached[kStatusLastUid], 1u);

  // Closing without saving leaves the file as it is and still frees the block.
  const std::string saved = ReadFile(IndexPath());
  ASSERT_EQ(OpenIndexForTransaction(other, "PO", "box", "Inbox"), 1u);
  SetFlags(other, "A.MAI", "\\DELETED");
  EXPECT_EQ(SaveAndCloseIndex(other, false), 1u);
  EXPECT_EQ(ReadFile(IndexPath()), saved);
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));
}

TEST_F(IndexCommitTest, AGroupTransactionKeepsToTheGroupFiles) {
  WriteIndex({{"A.MAI", "\\RECENT"}});
  const std::string mail_index = ReadFile(IndexPath());
  StoreIndex* index = CreateStoreIndex();
  opened_.push_back(index);
  index->folder_type = kFolderTypeGroups;
  ASSERT_EQ(OpenIndexForTransaction(index, "PO", "box", "Inbox"), 1u);
  EXPECT_TRUE(Exists(folder_ + "/_groups.blk"));
  EXPECT_FALSE(Exists(folder_ + "/_index.blk"));
  EXPECT_EQ(HeldDocument(index).Xml(), "<BASEELEMENT/>");
  AppendElement(HeldDocument(index).DocumentElement(), kEntryElement);
  EXPECT_EQ(SaveAndCloseIndex(index, true), 1u);
  EXPECT_EQ(ReadFile(folder_ + "/_groups.xml"), "<BASEELEMENT><ELEMENT/></BASEELEMENT>");
  EXPECT_EQ(ReadFile(IndexPath()), mail_index);
  EXPECT_FALSE(Exists(folder_ + "/_groups.blk"));
}

// Runs `body` in a child process; its result is the child's exit status.
template <typename Body>
pid_t RunChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) {
    alarm(60);  // a child left waiting by a failed parent does not linger
    _exit(body());
  }
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

void Signal(int fd) {
  char byte = 1;
  ASSERT_EQ(write(fd, &byte, 1), 1);
}

void Await(int fd) {
  char byte = 0;
  ASSERT_EQ(read(fd, &byte, 1), 1);
}

TEST_F(IndexCommitTest, TwoProcessesCommittingTheSameFolderLoseNoEntryOrMessage) {
  WriteFile(folder_ + "/A.MAI", kMessage);
  WriteFile(folder_ + "/B.MAI", kMessage);
  WriteIndex({{"A.MAI", "\\RECENT"}, {"B.MAI", "\\RECENT"}}, 30);
  const std::string message_b = ReadFile(folder_ + "/B.MAI");

  int loaded[2], go_early[2], go_late[2];
  ASSERT_EQ(pipe(loaded), 0);
  ASSERT_EQ(pipe(go_early), 0);
  ASSERT_EQ(pipe(go_late), 0);
  // The earlier writer: delivers C.MAI and commits its entry.
  pid_t early = RunChild([&] {
    StoreIndex* index = OpenHeld();
    WriteFile(folder_ + "/C.MAI", kMessage);
    uint32_t last_uid = DocumentLastUid(HeldDocument(index));
    const bool added = AddMessageEntry(HeldDocument(index).DocumentElement(), pugi::xml_node(),
                                       index->folder_directory, "C.MAI", 0, 0, false, &last_uid);
    SetDocumentLastUid(HeldDocument(index), last_uid);
    index->modified = 1;
    Signal(loaded[1]);
    if (!added) return 2;
    Await(go_early[0]);
    if (CommitStoreIndex(index) != 1 || Exists(ChangeFlagPath())) return 3;
    return index->folder_status[kStatusEntries] == 3 ? 0 : 4;
  });
  // The later writer loaded the same index before the other committed.
  pid_t late = RunChild([&] {
    StoreIndex* index = OpenHeld();
    Signal(loaded[1]);
    Await(go_late[0]);
    SetFlags(index, "B.MAI", "\\SEEN");
    return static_cast<int>(::StoreIndex_Save(index, kSavePlain));
  });
  Await(loaded[0]);
  Await(loaded[0]);
  Signal(go_early[1]);
  EXPECT_EQ(ExitStatus(early), 0);
  Signal(go_late[1]);
  EXPECT_EQ(ExitStatus(late), 0);  // the save reported the other writer
  for (int fd : {loaded[0], loaded[1], go_early[0], go_early[1], go_late[0], go_late[1]}) close(fd);

  // The later writer's document is on disk; the folder is marked dirty.
  EXPECT_TRUE(Exists(ChangeFlagPath()));
  XmlDocument written = LoadIndexFile();
  EXPECT_FALSE(FindItemElement(written, "C.MAI"));
  EXPECT_EQ(GetChildText(FindItemElement(written, "B.MAI"), kFlagStatusElement), "\\SEEN");

  // The next open rescans, as the dirty flag asks, and brings the lost
  // entry back from its file.
  StoreIndex* index = CreateStoreIndex();
  opened_.push_back(index);
  ASSERT_TRUE(CreateStoreIndexMutex(index));
  SetStoreIndexNames(index, "PO", "box", "Inbox");
  SetStoreIndexPaths(index);
  ASSERT_EQ(OpenStoreIndex(index, kOpenCheckDirty), kOpenLoaded);
  EXPECT_FALSE(Exists(ChangeFlagPath()));
  XmlDocument rescanned = HeldDocument(index);
  EXPECT_EQ(rescanned.Xml(), ReadFile(IndexPath()));
  EXPECT_TRUE(FindItemElement(rescanned, "A.MAI"));
  EXPECT_TRUE(FindItemElement(rescanned, "C.MAI"));
  EXPECT_EQ(GetChildText(FindItemElement(rescanned, "B.MAI"), kFlagStatusElement), "\\SEEN");
  EXPECT_EQ(ReadFile(folder_ + "/B.MAI"), message_b);
  EXPECT_TRUE(Exists(folder_ + "/C.MAI"));
}

}  // namespace
}  // namespace qx
