#include "index/index_commit.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <set>
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
#include "index/index_merge.h"
#include "index/item_insert.h"
#include "index/message_id_lookup.h"
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

  // As callers change flags: through the item operation, which the object
  // notes as its change.
  static void SetFlags(StoreIndex* index, const std::string& id, const char* flags) {
    MessageHeaders record;
    record.flag_words = flags;
    ASSERT_EQ(SetStoreItemByMessageId(index, id, kSelectFlags, record), 1u) << id;
    index->modified = 1;
  }

  // The entries' UIDs are unique and none is above LASTUID: how many are not.
  static int MisnumberedUids(const XmlDocument& document) {
    std::set<uint32_t> seen;
    int bad = 0;
    const uint32_t last_uid = DocumentLastUid(document);
    for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
      const uint32_t uid = entry.attribute(kUidAttribute).as_uint();
      if (!seen.insert(uid).second || uid > last_uid || uid == 0) ++bad;
    }
    return bad;
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
  StoreIndex* late = NewIndex();
  ASSERT_EQ(OpenStoreIndex(late, kOpenLoad), kOpenLoaded);

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

  // The later save sees the other writer: it reports 0 and marks the folder as it always did,
  // but what it writes is the other writer's index with its own change on top.
  SetFlags(late, "B.MAI", "\\SEEN");
  EXPECT_EQ(::StoreIndex_Save(late, kSavePlain), 0u);
  EXPECT_EQ(ReadFile(ChangeFlagPath()),
            "This file is a flag file that denotes that this folder has been changed");
  EXPECT_TRUE(FindItemElement(LoadIndex(), "C.MAI"));
  EXPECT_EQ(IndexField("B.MAI", kFlagStatusElement), "\\SEEN");
  EXPECT_EQ(test::EntryIds(HeldDocument(late)), (std::vector<std::string>{"A.MAI", "B.MAI", "C.MAI"}));

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

TEST_F(IndexCommitTest, AHeldSaveKeepsAConcurrentTransactionsChangesWithinOneStamp) {
  setenv("QXSTORE_FSYNC", "never", 1);  // what is tested here is not the disk
  Put("A.MAI", kMessage);
  StoreIndex* held = NewIndex();
  ASSERT_EQ(OpenStoreIndex(held, kOpenLoad), kOpenLoaded);  // builds the index
  ASSERT_EQ(OpenStoreIndex(held, kOpenLoad), kOpenLoaded);  // and reads it with its stamp
  std::set<std::string> expected{"A.MAI"};
  int lost = 0, misnumbered = 0, unreported = 0, changes_lost = 0;
  constexpr int kRounds = 60;
  for (int round = 0; round < kRounds; ++round) {
    const std::string mine = "H" + std::to_string(100 + round) + ".MAI";
    const std::string theirs = "T" + std::to_string(100 + round) + ".MAI";
    const std::string my_last = "H" + std::to_string(99 + round) + ".MAI";
    const std::string their_last = "T" + std::to_string(99 + round) + ".MAI";
    platform::FileTimes seen;
    ASSERT_TRUE(platform::GetFileTimes(IndexPath(), &seen));

    // Another process delivers a message and flags the one this object delivered last.
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
      Put(theirs, kMessage);
      const bool inserted = Direct_StoreIndex_InsertItem("PO", "box", "Inbox", theirs.c_str()) == 1;
      const bool updated =
          round == 0 ||
          Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", my_last.c_str(), "+\\FLAGGED") == 1;
      _exit(inserted && updated ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(other, &status, 0), other);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << round;
    // The other writer's index carries the very stamp this object read.
    ASSERT_TRUE(platform::SetFileTimes(IndexPath(), platform::FileTimes{0, 0, seen.last_write}));
    ASSERT_EQ(FolderIndexStamp(held->folder_directory, kFolderTypeMail), held->index_stamp);

    Put(mine, kMessage);
    ASSERT_EQ(StoreIndexInsertItem(held, mine.c_str(), 1), 1u);
    if (round > 0) SetFlags(held, their_last, "\\SEEN");
    held->modified = 1;
    if (::StoreIndex_Save(held, kSavePlain) != 0 || !Exists(ChangeFlagPath())) ++unreported;
    unlink(ChangeFlagPath().c_str());

    expected.insert(mine);
    expected.insert(theirs);
    const XmlDocument on_disk = LoadIndex();
    const std::vector<std::string> ids = test::EntryIds(on_disk);
    for (const std::string& id : expected) lost += std::count(ids.begin(), ids.end(), id) == 1 ? 0 : 1;
    misnumbered += MisnumberedUids(on_disk);
    if (round > 0) {
      const std::string flagged = GetChildText(FindItemElement(on_disk, my_last), kFlagStatusElement);
      const std::string seen_flags = GetChildText(FindItemElement(on_disk, their_last), kFlagStatusElement);
      changes_lost += flagged.find("\\FLAGGED") == std::string::npos ? 1 : 0;
      changes_lost += seen_flags != "\\SEEN" ? 1 : 0;
    }
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(misnumbered, 0);
  EXPECT_EQ(changes_lost, 0);
  EXPECT_EQ(unreported, 0);
  EXPECT_EQ(test::EntryIds(HeldDocument(held)).size(), expected.size());
  unsetenv("QXSTORE_FSYNC");
}

TEST_F(IndexCommitTest, AMergeKeepsBothWritersChangesAndHandsNoUidOutTwice) {
  const auto document = [](const std::string& xml) {
    XmlDocument parsed = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(parsed.LoadXml(xml));
    return parsed;
  };
  // Both read LASTUID 3 (A, B, C); this object removed A, flagged B, inserted D with UID 4 and
  // E with UID 9 (a UID from its file, above anything the other handed out)...
  const XmlDocument ours = document(
      "<BASEELEMENT LASTUID=\"9\"><ELEMENT ID=\"B.MAI\" UID=\"2\"><FLAGSTATUS>\\SEEN</FLAGSTATUS>"
      "</ELEMENT><ELEMENT ID=\"C.MAI\" UID=\"3\"/><ELEMENT ID=\"D.MAI\" UID=\"4\"/>"
      "<ELEMENT ID=\"E.MAI\" UID=\"9\"/></BASEELEMENT>");
  IndexChanges changes;
  changes.NoteRemoved("A.MAI");
  changes.NoteChildSet("B.MAI", kFlagStatusElement);
  changes.NoteInserted("D.MAI");
  changes.NoteInserted("E.MAI");
  changes.NoteChildSet("C.MAI", kFlagStatusElement);  // then undone: C has no flags in ours
  // ...while the other removed C, inserted BB with UID 4 and CC with UID 5, and set B's subject.
  const XmlDocument theirs = document(
      "<BASEELEMENT LASTUID=\"5\"><ELEMENT ID=\"A.MAI\" UID=\"1\"/><ELEMENT ID=\"B.MAI\" UID=\"2\">"
      "<FLAGSTATUS>\\RECENT</FLAGSTATUS><SUBJECT>new</SUBJECT></ELEMENT>"
      "<ELEMENT ID=\"BB.MAI\" UID=\"4\"/><ELEMENT ID=\"CC.MAI\" UID=\"5\"/></BASEELEMENT>");
  const MergeOutcome outcome = MergeIndexChanges(ours, changes, theirs, true);
  EXPECT_EQ(outcome.renumbered, 1u);
  EXPECT_EQ(test::EntryIds(theirs), (std::vector<std::string>{"B.MAI", "BB.MAI", "CC.MAI", "D.MAI", "E.MAI"}));
  const pugi::xml_node b = FindItemElement(theirs, "B.MAI");
  EXPECT_EQ(GetChildText(b, kFlagStatusElement), "\\SEEN");
  EXPECT_EQ(GetChildText(b, kSubjectElement), "new");
  EXPECT_EQ(FindItemElement(theirs, "D.MAI").attribute(kUidAttribute).as_uint(), 10u);
  EXPECT_EQ(FindItemElement(theirs, "E.MAI").attribute(kUidAttribute).as_uint(), 9u);
  EXPECT_EQ(DocumentLastUid(theirs), 10u);
  EXPECT_EQ(MisnumberedUids(theirs), 0);

  // A folder whose last UID is the last there is takes no entry that needs a new one.
  const XmlDocument full = document(
      "<BASEELEMENT LASTUID=\"4294967295\"><ELEMENT ID=\"A.MAI\" UID=\"4294967295\"/></BASEELEMENT>");
  IndexChanges insert;
  insert.NoteInserted("D.MAI");
  EXPECT_EQ(MergeIndexChanges(ours, insert, full, true).left_out, 1u);
  EXPECT_EQ(test::EntryIds(full), std::vector<std::string>{"A.MAI"});
}

}  // namespace
}  // namespace qx
