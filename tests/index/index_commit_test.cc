#include "index/index_commit.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "common/block_files.h"
#include "folder/folder_files.h"
#include "index/folder_status.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_entry.h"
#include "index/index_format.h"
#include "index/index_save.h"
#include "index/index_open.h"
#include "index/index_stamp.h"
#include "index/store_index.h"
#include "platform/file.h"
#include "qxstore.h"
#include "support/mail_folder_test.h"

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

class IndexCommitTest : public test::MailFolderTest {
 protected:
  void TearDown() override {
    SetPendingItemWriter(kFolderTypeMail, nullptr);
    MailFolderTest::TearDown();
  }

  std::string IndexPath() const { return Path("_index.xml"); }
  std::string ChangeFlagPath() const { return Path("_CHANGE.DTY"); }

  // An index file of `entries`, last written `age_seconds` ago.
  void WriteIndex(const Entries& entries, int age_seconds = 10) {
    std::string xml = "<BASEELEMENT LASTUID=\"" + std::to_string(entries.size()) + "\">";
    int uid = 0;
    for (const auto& [id, flags] : entries) {
      xml += "<ELEMENT ID=\"" + id + "\" UID=\"" + std::to_string(++uid) + "\"><FLAGSTATUS>" +
             flags + "</FLAGSTATUS><READ>0</READ></ELEMENT>";
    }
    WriteFile(IndexPath(), xml + "</BASEELEMENT>");
    Age(IndexPath(), age_seconds);
  }

  static void Age(const std::string& path, int seconds) {
    const uint64_t then = FileTimeSecondsAgo(seconds);
    ASSERT_TRUE(platform::SetFileTimes(path, platform::FileTimes{0, then, then}));
  }

  // An index object holding the folder's index as an open loads it.
  StoreIndex* OpenHeld() {
    StoreIndex* index = NewIndex();
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(
        LoadDocumentFile(document, FolderFilePath(index->folder_directory, kIndexFileName)));
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

};

TEST_F(IndexCommitTest, ASaveFollowsItsNewStampAndABusyBlockStopsItUnlessTheCallerHoldsIt) {
  WriteIndex({{"A.MAI", "\\RECENT"}, {"B.MAI", "\\SEEN"}});
  StoreIndex* index = OpenHeld();
  SetFlags(index, "A.MAI", "\\ANSWERED");
  EXPECT_EQ(::StoreIndex_Save(index, kSavePlain), 1u);
  EXPECT_EQ(ReadFile(IndexPath()), HeldDocument(index).Xml());
  EXPECT_EQ(index->index_stamp, FolderIndexStamp(index->folder_directory, 0));
  EXPECT_FALSE(Exists(ChangeFlagPath()));

  // The recorded stamp lets the next save pass too; the sort mode saves the same way.
  SetFlags(index, "B.MAI", "\\DELETED");
  EXPECT_EQ(::StoreIndex_Save(index, kSaveSorted), 1u);
  EXPECT_EQ(GetChildText(FindItemElement(LoadIndex(), "B.MAI"), kFlagStatusElement), "\\DELETED");
  EXPECT_FALSE(Exists(ChangeFlagPath()));

  const std::string before = ReadFile(IndexPath());
  SetFlags(index, "A.MAI", "\\SEEN");
  WriteFile(folder_ + "/_index.blk", "");
  EXPECT_EQ(::StoreIndex_Save(index, kSavePlain), 0u);
  EXPECT_EQ(ReadFile(IndexPath()), before);
  EXPECT_TRUE(Exists(ChangeFlagPath()));
  EXPECT_TRUE(Exists(folder_ + "/_index.blk"));  // another holder's block is left alone
  EXPECT_EQ(SaveHeldIndex(index, kSavePlain, kBlockHeldByCaller), 1u);
  EXPECT_NE(ReadFile(IndexPath()), before);
}

std::vector<std::string> written_items;

bool RecordWrittenItem(StoreIndex*, pugi::xml_node entry) {
  written_items.push_back(AttributeValue(entry, kIdAttribute));
  return true;
}

TEST_F(IndexCommitTest, ACommitSavesOnlyModifiedIndexesWritesPendingItemsAndCachesTheStatus) {
  WriteIndex({{"A.MAI", "\\SEEN \\ANSWERED"}, {"B.MAI", "\\RECENT"}, {"C.MAI", "\\RECENT"}});
  const std::string before = ReadFile(IndexPath());
  StoreIndex* index = OpenHeld();
  written_items.clear();
  SetPendingItemWriter(kFolderTypeMail, RecordWrittenItem);
  MarkEntryPending(Entry(index, "A.MAI"));
  MarkEntryPending(Entry(index, "C.MAI"));
  index->modified = 0;
  EXPECT_EQ(CommitStoreIndex(index), 1u);  // nothing modified: nothing written
  EXPECT_EQ(SavePendingItems(index), 1u);
  EXPECT_EQ(ReadFile(IndexPath()), before);
  EXPECT_TRUE(written_items.empty());
  EXPECT_FALSE(Exists(Path("_FOLDER.DAT")));

  SetFlags(index, "C.MAI", "\\FLAGGED \\SEEN");
  EXPECT_EQ(SavePendingItems(index), 1u);
  EXPECT_EQ(written_items, (std::vector<std::string>{"A.MAI", "C.MAI"}));
  EXPECT_EQ(ReadFile(IndexPath()).find(kPendingStatusElement), std::string::npos);
  EXPECT_EQ(GetChildText(FindItemElement(LoadIndex(), "C.MAI"), kFlagStatusElement),
            "\\FLAGGED \\SEEN");
  std::array<uint32_t, kFolderStatusFields> cached{};
  ASSERT_EQ(::GetCachedStatus("PO", "box", "Inbox", cached.data()), 1u);
  const std::array<uint32_t, kFolderStatusFields> expected{0, 0, 0, 1, 1, 1, 3, 2, 1, 0, 0, 3, 0};
  EXPECT_EQ(cached, expected);
}

TEST_F(IndexCommitTest, TwoProcessesCommittingTheSameFolderLoseNoEntryOrMessage) {
  Put("A.MAI", kMessage);
  Put("B.MAI", kMessage);
  WriteIndex({{"A.MAI", "\\RECENT"}, {"B.MAI", "\\RECENT"}}, 30);
  // This process is the later writer: it loaded the index before the other committed.
  StoreIndex* late = OpenHeld();

  // The earlier writer, in a process of its own, delivers C.MAI and commits its entry.
  const pid_t early = fork();
  ASSERT_GE(early, 0);
  if (early == 0) {
    StoreIndex* index = OpenHeld();
    Put("C.MAI", kMessage);
    uint32_t last_uid = DocumentLastUid(HeldDocument(index));
    const bool added = AddMessageEntry(HeldDocument(index).DocumentElement(), pugi::xml_node(),
                                       index->folder_directory, "C.MAI", 0, 0, false, &last_uid);
    SetDocumentLastUid(HeldDocument(index), last_uid);
    index->modified = 1;
    if (!added || CommitStoreIndex(index) != 1 || Exists(ChangeFlagPath())) _exit(1);
    _exit(index->folder_status[kStatusEntries] == 3 ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(early, &status, 0), early);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_TRUE(FindItemElement(LoadIndex(), "C.MAI"));

  // The later save sees the other writer's stamp: it still writes, reports 0 and marks the folder.
  SetFlags(late, "B.MAI", "\\SEEN");
  EXPECT_EQ(::StoreIndex_Save(late, kSavePlain), 0u);
  EXPECT_EQ(ReadFile(ChangeFlagPath()),
            "This file is a flag file that denotes that this folder has been changed");
  EXPECT_FALSE(FindItemElement(LoadIndex(), "C.MAI"));

  // The next open rescans, as the dirty flag asks, and brings the lost entry back from its file.
  StoreIndex* index = NewIndex();
  ASSERT_EQ(OpenStoreIndex(index, kOpenCheckDirty), kOpenLoaded);
  EXPECT_FALSE(Exists(ChangeFlagPath()));
  XmlDocument rescanned = HeldDocument(index);
  EXPECT_EQ(test::EntryIds(rescanned), (std::vector<std::string>{"A.MAI", "B.MAI", "C.MAI"}));
  EXPECT_EQ(GetChildText(FindItemElement(rescanned, "B.MAI"), kFlagStatusElement), "\\SEEN");
  EXPECT_EQ(ReadFile(Path("B.MAI")), kMessage);
  EXPECT_TRUE(Exists(Path("C.MAI")));
}

}  // namespace
}  // namespace qx
