// Writers killed at random moments: a process delivers, changes flags,
// expunges, commits a held index, rescans and adds, renames and removes
// folders in one mailbox until it is killed with SIGKILL. After each kill
// the store must hold a whole index with unique UIDs no higher than
// LASTUID, whole message files, everything the writer was told had
// succeeded, a folder list that is right or marked stale, and no block file
// that keeps the next writer waiting.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/index_open.h"
#include "index/index_save.h"
#include "index/index_scan.h"
#include "index/item_insert.h"
#include "index/message_id_lookup.h"
#include "index/store_index.h"
#include "message/flag_words.h"
#include "message/message_headers.h"
#include "platform/clock.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "store/folder_index_file.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

// The flags the writer changes; the others are the store's own business.
constexpr const char* kTrackedFlags[] = {"\\SEEN", "\\DELETED", "\\FLAGGED"};
constexpr const char* kFolderNames[] = {"F0", "F1", "F2", "F3"};
// Message sizes: an index line's worth, a typical mail, a large one.
constexpr size_t kMessageSizes[] = {300, 20000, 600000};

enum Op : char {
  kDeliver = 'D',
  kFlag = 'F',
  kExpunge = 'X',
  kHeldCommit = 'H',
  kRescan = 'R',
  kFolderAdd = 'A',
  kFolderRename = 'N',
  kFolderRemove = 'V',
  kFolderList = 'L',
};

// One line of the writer's journal: an operation begun, ended with success,
// or failed. Small enough for one atomic pipe write.
struct JournalRecord {
  char op = 0;
  char phase = 0;  // 'B' begun, 'E' reported success, 'F' failed
  bool add = false;
  char flag[12] = {};
  char name[40] = {};
  char other[40] = {};  // the held commit's flagged message, a rename's new name
};

struct Message {
  std::set<std::string> flags;  // of kTrackedFlags
  uint32_t uid = 0;
};

// What the writer was told succeeded, and what was then found on disk.
struct StoreModel {
  std::map<std::string, Message> messages;  // indexed, with their files
  std::set<std::string> folders;            // of kFolderNames
  uint32_t highest_uid = 0;                 // ever seen
};

std::string FlagText(const std::set<std::string>& flags) {
  std::string text;
  for (const std::string& flag : flags) text += (text.empty() ? "" : " ") + flag;
  return text;
}

STOREFOLDER TopFolder(const std::string& name) {
  STOREFOLDER record{};
  std::snprintf(record.postoffice, sizeof record.postoffice, "PO");
  std::snprintf(record.mailbox, sizeof record.mailbox, "box");
  std::snprintf(record.parent, sizeof record.parent, "\\");
  std::snprintf(record.name, sizeof record.name, "%s", name.c_str());
  return record;
}

// Enumerates the mailbox's top folders, which rebuilds a stale folder list.
void ListTopFolders() {
  STOREFOLDER list = TopFolder("");
  for (uint32_t found = StoreFolderFindFirst(&list); found != 0; found = StoreFolderFindNext(&list)) {
  }
  StoreFolderFindClose(&list);
}

// The writer of one round, in the forked child: random operations, each
// journaled before it starts and once it reports success, until killed.
class Writer {
 public:
  Writer(StoreModel model, std::string folder_dir, std::vector<std::string> sources, int journal,
         unsigned seed)
      : model_(std::move(model)),
        folder_dir_(std::move(folder_dir)),
        sources_(std::move(sources)),
        journal_(journal),
        random_(seed) {}

  [[noreturn]] void Run(int round) {
    for (int step = 0;; ++step) {
      const std::string name = "M" + std::to_string(round) + "_" + std::to_string(step) + "_" +
                               std::to_string(Pick(std::size(kMessageSizes))) + ".MAI";
      const unsigned roll = Pick(100);
      if (roll < 25 || model_.messages.empty()) {
        Deliver(name);
      } else if (roll < 45) {
        ChangeFlag();
      } else if (roll < 53) {
        Expunge();
      } else if (roll < 65) {
        HeldCommit(name);
      } else if (roll < 72) {
        Rescan(name);
      } else {
        ChangeFolders();
      }
    }
  }

 private:
  unsigned Pick(size_t count) { return static_cast<unsigned>(random_() % count); }

  std::string AnyMessage() {
    auto it = model_.messages.begin();
    std::advance(it, Pick(model_.messages.size()));
    return it->first;
  }

  void Journal(char op, char phase, const std::string& name, const std::string& other = "",
               const std::string& flag = "", bool add = false) {
    JournalRecord record;
    record.op = op;
    record.phase = phase;
    record.add = add;
    std::snprintf(record.flag, sizeof record.flag, "%s", flag.c_str());
    std::snprintf(record.name, sizeof record.name, "%s", name.c_str());
    std::snprintf(record.other, sizeof record.other, "%s", other.c_str());
    if (write(journal_, &record, sizeof record) != sizeof record) _exit(3);
  }

  bool CopyIn(const std::string& name) {
    const size_t size_class = static_cast<size_t>(name[name.size() - 5] - '0');
    return platform::DurablyCopyFile(sources_[size_class], folder_dir_ + "/" + name,
                                     platform::FileKind::kMessage, platform::TargetName::kNewUnique);
  }

  void Deliver(const std::string& name) {
    Journal(kDeliver, 'B', name);
    const bool done = CopyIn(name) && Direct_StoreIndex_InsertItem("PO", "box", "Inbox", name.c_str()) == 1;
    Journal(kDeliver, done ? 'E' : 'F', name);
    if (done) model_.messages[name];
  }

  void ChangeFlag() {
    const std::string name = AnyMessage();
    const std::string flag = kTrackedFlags[Pick(std::size(kTrackedFlags))];
    const bool add = Pick(3) != 0;
    Journal(kFlag, 'B', name, "", flag, add);
    const std::string change = (add ? "+" : "-") + flag;
    const bool done =
        Direct_StoreIndex_UpdateItem("PO", "box", "Inbox", name.c_str(), change.c_str()) == 1;
    Journal(kFlag, done ? 'E' : 'F', name, "", flag, add);
    if (!done) return;
    if (add) {
      model_.messages[name].flags.insert(flag);
    } else {
      model_.messages[name].flags.erase(flag);
    }
  }

  // As an expunge does it: the files of the messages flagged \DELETED, then
  // their entries.
  void Expunge() {
    std::string list;
    for (const auto& [name, message] : model_.messages) {
      if (message.flags.count("\\DELETED") != 0) list += (list.empty() ? "" : ",") + name;
    }
    if (list.empty()) return;
    Journal(kExpunge, 'B', "");
    for (const auto& [name, message] : model_.messages) {
      if (message.flags.count("\\DELETED") != 0) platform::DeleteFile(folder_dir_ + "/" + name);
    }
    const bool done = Direct_StoreIndex_RemoveItem("PO", "box", "Inbox", list.c_str()) == 1;
    Journal(kExpunge, done ? 'E' : 'F', "");
    if (!done) return;
    std::erase_if(model_.messages,
                  [](const auto& entry) { return entry.second.flags.count("\\DELETED") != 0; });
  }

  // An index object held open: a message inserted and another's flags
  // replaced, then saved.
  void HeldCommit(const std::string& name) {
    const std::string flagged = AnyMessage();
    std::set<std::string> flags = model_.messages[flagged].flags;
    if (flags.erase("\\FLAGGED") == 0) flags.insert("\\FLAGGED");
    Journal(kHeldCommit, 'B', name, flagged);
    StoreIndex* index = CreateStoreIndex();
    CreateStoreIndexMutex(index);
    SetStoreIndexNames(index, "PO", "box", "Inbox");
    MessageHeaders record;
    record.flag_words = FlagText(flags);
    bool done = SetStoreIndexPaths(index) == 1 && OpenStoreIndex(index, kOpenLoad) != kOpenFailed &&
                CopyIn(name) && StoreIndexInsertItem(index, name.c_str(), 1) == 1 &&
                SetStoreItemByMessageId(index, flagged, kSelectFlags, record) == 1;
    index->modified = 1;
    done = done && StoreIndex_Save(index, kSavePlain) == 1;
    ReleaseStoreIndex(index);
    DestroyStoreIndex(index);
    Journal(kHeldCommit, done ? 'E' : 'F', name, flagged);
    if (!done) return;
    model_.messages[name];
    model_.messages[flagged].flags = flags;
  }

  // A message file that arrived without its entry, found by a rescan.
  void Rescan(const std::string& name) {
    Journal(kRescan, 'B', name);
    const bool done = CopyIn(name) && ScanFolders(folder_dir_.c_str(), false, false) == 1;
    Journal(kRescan, done ? 'E' : 'F', name);
    if (done) model_.messages[name];
  }

  void ChangeFolders() {
    const std::string name = kFolderNames[Pick(std::size(kFolderNames))];
    const std::string other = kFolderNames[Pick(std::size(kFolderNames))];
    STOREFOLDER folder = TopFolder(name);
    STOREFOLDER target = TopFolder(other);
    char op = kFolderList;
    if (Pick(4) == 0) {
      op = kFolderList;
    } else if (model_.folders.count(name) == 0) {
      op = kFolderAdd;
    } else if (model_.folders.count(other) == 0) {
      op = kFolderRename;
    } else {
      op = kFolderRemove;
    }
    Journal(op, 'B', name, other);
    bool done = true;
    if (op == kFolderAdd) done = StoreFolderAdd(&folder) == 1;
    if (op == kFolderRename) done = StoreFolderEdit(&folder, &target) == 1;
    if (op == kFolderRemove) done = StoreFolderRemove(&folder) == 1;
    if (op == kFolderList) ListTopFolders();
    Journal(op, done ? 'E' : 'F', name, other);
    if (!done) return;
    if (op == kFolderAdd) model_.folders.insert(name);
    if (op == kFolderRemove) model_.folders.erase(name);
    if (op == kFolderRename) {
      model_.folders.erase(name);
      model_.folders.insert(other);
    }
  }

  StoreModel model_;
  const std::string folder_dir_;
  const std::vector<std::string> sources_;
  const int journal_;
  std::mt19937 random_;
};

class CrashSuiteTest : public test::MailFolderTest {
 protected:
  void SetUp() override {
    MailFolderTest::SetUp();
    // Real time: a block's age is what the breaking of stale blocks goes by.
    platform::SetClock(nullptr);
    setenv("QXSTORE_FSYNC", "never", 1);  // kills, not power losses
    // Blocks left by the dead writer are broken at once: no grace to wait
    // out, so that any wait the next writer has is a fault.
    registry().SetDword(test::kProvidersBlockKey, "Stale Block Grace", 0);
    registry().Save();
    for (size_t size_class = 0; size_class < std::size(kMessageSizes); ++size_class) {
      const std::string path = root() + "/source" + std::to_string(size_class) + ".eml";
      const std::string text =
          test::MessageText("size class " + std::to_string(size_class), "",
                            std::string(kMessageSizes[size_class], static_cast<char>('a' + size_class)));
      WriteFile(path, text);
      sources_.push_back(path);
      source_texts_.push_back(text);
    }
  }
  void TearDown() override {
    unsetenv("QXSTORE_FSYNC");
    MailFolderTest::TearDown();
  }

  // Kills a writer after `delay_us`; its journal.
  std::vector<JournalRecord> RunWriterAndKill(int round, unsigned delay_us) {
    int journal[2];
    EXPECT_EQ(pipe(journal), 0);
    const pid_t child = fork();
    if (child == 0) {
      close(journal[0]);
      Writer(model_, folder_, sources_, journal[1], static_cast<unsigned>(round) * 7919u + 1)
          .Run(round);
    }
    close(journal[1]);
    usleep(delay_us);
    kill(child, SIGKILL);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    std::vector<JournalRecord> records;
    JournalRecord record;
    while (read(journal[0], &record, sizeof record) == sizeof record) records.push_back(record);
    close(journal[0]);
    return records;
  }

  // Applies the writer's reported successes to the model; the operation it
  // was killed in (when any).
  std::optional<JournalRecord> Apply(const std::vector<JournalRecord>& records) {
    std::optional<JournalRecord> open;
    for (const JournalRecord& record : records) {
      if (record.phase == 'B') {
        open = record;
        ++begun_[record.op];
        continue;
      }
      open.reset();
      if (record.phase == 'F') {
        ADD_FAILURE() << "operation " << record.op << " failed on " << record.name;
        continue;
      }
      switch (record.op) {
        case kDeliver:
        case kRescan:
          model_.messages[record.name];
          break;
        case kFlag:
          if (record.add) {
            model_.messages[record.name].flags.insert(record.flag);
          } else {
            model_.messages[record.name].flags.erase(record.flag);
          }
          break;
        case kExpunge:
          std::erase_if(model_.messages,
                        [](const auto& entry) { return entry.second.flags.count("\\DELETED") != 0; });
          break;
        case kHeldCommit: {
          model_.messages[record.name];
          std::set<std::string>& flags = model_.messages[record.other].flags;
          if (flags.erase("\\FLAGGED") == 0) flags.insert("\\FLAGGED");
          break;
        }
        case kFolderAdd:
          model_.folders.insert(record.name);
          break;
        case kFolderRemove:
          model_.folders.erase(record.name);
          break;
        case kFolderRename:
          model_.folders.erase(record.name);
          model_.folders.insert(record.other);
          break;
      }
    }
    if (open) ++killed_in_[open->op];
    return open;
  }

  // The names the operation killed midway may have changed either way.
  std::set<std::string> Unsettled(const std::optional<JournalRecord>& open) const {
    std::set<std::string> names;
    if (!open) return names;
    if (open->op == kExpunge) {
      for (const auto& [name, message] : model_.messages) {
        if (message.flags.count("\\DELETED") != 0) names.insert(name);
      }
    }
    if (open->name[0] != '\0') names.insert(open->name);
    if (open->other[0] != '\0') names.insert(open->other);
    return names;
  }

  void CheckMessages(const std::set<std::string>& unsettled, int round) {
    SCOPED_TRACE("round " + std::to_string(round));
    XmlDocument index = CreateIndexDocument(kXmlNotCompatibleMessage);
    if (!Exists(Path("_index.xml"))) {
      EXPECT_TRUE(model_.messages.empty());
      return;
    }
    ASSERT_TRUE(LoadDocumentFile(index, Path("_index.xml")));
    const uint32_t last_uid = DocumentLastUid(index);
    std::set<uint32_t> uids;
    std::set<std::string> indexed;
    for (pugi::xml_node entry : index.DocumentElement().children(kEntryElement)) {
      const std::string id = AttributeValue(entry, kIdAttribute);
      const uint32_t uid = entry.attribute(kUidAttribute).as_uint();
      indexed.insert(id);
      EXPECT_TRUE(uid != 0 && uid <= last_uid && uids.insert(uid).second) << id << " UID " << uid;
      const auto modelled = model_.messages.find(id);
      if (modelled == model_.messages.end()) {
        EXPECT_TRUE(unsettled.count(id) != 0) << id << " indexed, never reported";
        EXPECT_GT(uid, model_.highest_uid) << id << " got a UID handed out before";
        continue;
      }
      if (modelled->second.uid != 0) {
        EXPECT_EQ(uid, modelled->second.uid) << id;
      }
      if (unsettled.count(id) != 0) continue;
      const std::string flags = GetChildText(entry, kFlagStatusElement);
      for (const char* flag : kTrackedFlags) {
        EXPECT_EQ(ListHasFlagWord(flags, flag), modelled->second.flags.count(flag) != 0)
            << id << " " << flag << " in \"" << flags << "\"";
      }
    }
    for (const auto& [name, message] : model_.messages) {
      if (unsettled.count(name) == 0) {
        EXPECT_TRUE(indexed.count(name) != 0) << name << " lost";
      }
    }
    for (platform::Listing files = platform::Listing::Open(Path("*.MAI")); files.valid();
         files.Next()) {
      // Message files are written once, under a temporary name: only the
      // killed operation's own can differ from what a size shows.
      const std::string& name = files.current().name;
      const std::string& text = source_texts_.at(static_cast<size_t>(name[name.size() - 5] - '0'));
      EXPECT_EQ(files.current().size, text.size()) << name << " is not whole";
      if (unsettled.count(name) != 0) {
        EXPECT_EQ(ReadFile(Path(name)), text) << name;
      }
    }
  }

  void CheckFolders(const std::set<std::string>& unsettled, int round) {
    SCOPED_TRACE("round " + std::to_string(round));
    for (const char* name : kFolderNames) {
      if (unsettled.count(name) != 0) continue;
      EXPECT_EQ(platform::IsDirectory(mailbox_ + "/" + name), model_.folders.count(name) != 0)
          << name;
    }
    if (FolderIndexIsStale(mailbox_)) return;
    std::vector<std::string> listed = ReadFolderIndexNames(mailbox_).value_or(std::vector<std::string>{});
    std::vector<std::string> present = ChildDirectoryNames(mailbox_, true);
    std::sort(listed.begin(), listed.end());
    std::sort(present.begin(), present.end());
    EXPECT_EQ(listed, present) << "the folder list is wrong and not marked stale";
  }

  // The next writer goes through at once, whatever blocks the dead one left.
  void CheckNextWriter(int round) {
    const std::string name = "P" + std::to_string(round) + "_0.MAI";
    ASSERT_TRUE(platform::DurablyCopyFile(sources_[0], Path(name), platform::FileKind::kMessage,
                                          platform::TargetName::kNewUnique));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Direct_StoreIndex_InsertItem("PO", "box", "Inbox", name.c_str()), 1u) << round;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 1.0) << "round " << round;
    model_.messages[name];
  }

  // Takes what the killed operation left as the new state: its entries with
  // their files stay, half-done messages go.
  void Settle(const std::set<std::string>& unsettled) {
    const XmlDocument index = LoadIndex();
    for (const std::string& name : unsettled) {
      if (name.size() < 5 || name.compare(name.size() - 4, 4, ".MAI") != 0) {
        if (platform::IsDirectory(mailbox_ + "/" + name)) {
          model_.folders.insert(name);
        } else {
          model_.folders.erase(name);
        }
        continue;
      }
      const pugi::xml_node entry = FindItemElement(index, name);
      const bool file = Exists(Path(name));
      if (entry && file) {
        Message& message = model_.messages[name];
        message.flags.clear();
        const std::string flags = GetChildText(entry, kFlagStatusElement);
        for (const char* flag : kTrackedFlags) {
          if (ListHasFlagWord(flags, flag)) message.flags.insert(flag);
        }
        continue;
      }
      model_.messages.erase(name);
      if (entry) {
        EXPECT_EQ(Direct_StoreIndex_RemoveItem("PO", "box", "Inbox", name.c_str()), 1u);
      }
      if (file) platform::DeleteFile(Path(name));
    }
    // UIDs as they now stand, for the checks of the next round.
    const XmlDocument settled = LoadIndex();
    for (pugi::xml_node entry : settled.DocumentElement().children(kEntryElement)) {
      const uint32_t uid = entry.attribute(kUidAttribute).as_uint();
      model_.highest_uid = std::max(model_.highest_uid, uid);
      const auto modelled = model_.messages.find(AttributeValue(entry, kIdAttribute));
      if (modelled != model_.messages.end()) modelled->second.uid = uid;
    }
    // Temporaries of copies cut short.
    for (platform::Listing files = platform::Listing::Open(Path("*.tmp")); files.valid();
         files.Next()) {
      platform::DeleteFile(Path(files.current().name));
    }
  }

  StoreModel model_;
  std::vector<std::string> sources_;
  std::vector<std::string> source_texts_;
  std::map<char, int> begun_;
  std::map<char, int> killed_in_;
};

TEST_F(CrashSuiteTest, WritersKilledAtRandomMomentsLoseNothingTheyReportedAndLeaveNoBlock) {
  constexpr int kKills = 300;
  std::mt19937 random(20261206);
  std::uniform_int_distribution<unsigned> delay_us(500, 12000);
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < kKills && !HasFatalFailure(); ++round) {
    const std::optional<JournalRecord> open = Apply(RunWriterAndKill(round, delay_us(random)));
    const std::set<std::string> unsettled = Unsettled(open);
    CheckMessages(unsettled, round);
    CheckFolders(unsettled, round);
    CheckNextWriter(round);
    Settle(unsettled);
    // Keeps the list current, so that the next writer's folder changes
    // start from a list that is right.
    ListTopFolders();
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::string summary;
  for (const auto& [op, count] : begun_) {
    summary += std::string(1, op) + " " + std::to_string(count) + " begun, " +
               std::to_string(killed_in_[op]) + " killed in; ";
  }
  std::printf("%d kills in %.1f s: %s%zu messages, %zu folders at the end\n", kKills, took.count(),
              summary.c_str(), model_.messages.size(), model_.folders.size());
  // Every kind of writer was killed midway at least once.
  for (char op : {kDeliver, kFlag, kExpunge, kHeldCommit, kRescan}) {
    EXPECT_GT(killed_in_[op], 0) << op;
  }
  EXPECT_GT(killed_in_[kFolderAdd] + killed_in_[kFolderRename] + killed_in_[kFolderRemove], 0);
}

}  // namespace
}  // namespace qx
