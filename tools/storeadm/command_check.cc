// storeadm check: what can go wrong in a mailbox's folders, found without
// changing anything, and with --repair set right where that is safe:
//
//   entry-without-file   an index entry whose message file is gone
//   file-without-entry   a message file the index does not list
//   duplicate-uid        two entries with one UID
//   uid-above-lastuid    an entry's UID above the index's LASTUID
//   size-cache           a _DIRSIZE.TMP far from the files' real size
//   stale-block          a block file older than the UnBlock Timeout
//   folder-without-entry a folder directory its parent's _folder.xml does not list
//   entry-without-folder a _folder.xml entry with no directory
//   stale-temporary      a copy's temporary file an hour old, left by a
//                        writer killed before its rename
//
// The first four are repaired by a resync of the folder (flags and UIDs
// kept), a size cache by deleting it (the next query computes it), a
// stale block or temporary by deleting it, a folder list as the store mends its own:
// flagged stale, so the next enumeration rebuilds it from the directory.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "command.h"
#include "common/block_files.h"
#include "folder/folder_files.h"
#include "folder/folder_size_cache.h"
#include "folder_resync.h"
#include "frame/store_paths.h"
#include "indexed_messages.h"
#include "json_text.h"
#include "platform/clock.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/listing.h"
#include "platform/text_compare.h"
#include "progress.h"
#include "report.h"
#include "store/folder_index_file.h"
#include "store_names_check.h"
#include "store_objects.h"
#include "store_walk.h"

namespace qx::storeadm {
namespace {

int RunCheck(int argc, char** argv);

const Command kCheck{"check", "<postoffice> <mailbox> | <postoffice> -A [--repair] [--json]",
                     "finds index, UID, size cache, block, temporary and folder list faults in a "
                     "mailbox's folders; "
                     "--repair sets them right",
                     RunCheck, nullptr, "-A --repair --json"};
const CommandRegistration kRegisterCheck(kCheck);

constexpr uint64_t kFileTimeTicksPerSecond = 10000000;
// A copy writes its temporary without pause and renames it at once, so one
// untouched for an hour has no writer left.
constexpr uint64_t kStaleTemporaryAge = 3600 * kFileTimeTicksPerSecond;

struct Fault {
  std::string mailbox;
  std::string folder;
  std::string kind;
  std::string detail;
  bool repaired = false;
};

struct MessageFiles {
  std::set<std::string> names;
  uint64_t bytes = 0;
  std::vector<std::string> stale_temporaries;
};

// The message files of a folder directory: every file that is not one of
// the store's own ("_index.xml", "_DIRSIZE.TMP", ...) or a copy's temporary.
MessageFiles ListMessageFiles(const std::string& directory) {
  MessageFiles files;
  const uint64_t now = platform::NowFileTime();
  for (platform::Listing listing = platform::Listing::Open(directory + "\\*.*"); listing.valid();
       listing.Next()) {
    const platform::FindData& found = listing.current();
    if ((found.attributes & platform::kAttributeDirectory) != 0 || found.name.empty() ||
        found.name[0] == '_' || found.name[0] == '.') {
      continue;
    }
    if (platform::IsUniqueTemporaryName(found.name)) {
      if (found.last_write_time < now && now - found.last_write_time > kStaleTemporaryAge) {
        files.stale_temporaries.push_back(found.name);
      }
      continue;
    }
    files.names.insert(found.name);
    const int64_t size = platform::GetFileSize(JoinStorePath(directory, found.name));
    if (size > 0) files.bytes += static_cast<uint64_t>(size);
  }
  return files;
}

class Checker {
 public:
  Checker(const char* postoffice, bool repair) : postoffice_(postoffice), repair_(repair) {}

  void CheckMailbox(const std::string& mailbox) {
    const std::string mailbox_directory = MailboxDirectory(postoffice_, mailbox.c_str());
    std::vector<FolderLine> folders;
    CollectFolders(mailbox_directory, "", &folders);
    CheckFolderList(mailbox, "", mailbox_directory, true);
    uint64_t mailbox_bytes = 0;
    size_t mailbox_files = 0;
    for (const FolderLine& folder : folders) {
      const MessageFiles files = ListMessageFiles(folder.directory);
      mailbox_bytes += files.bytes;
      mailbox_files += files.names.size();
      // A stale block goes first: the index repair needs the block.
      CheckBlocks(mailbox, folder.name, folder.directory);
      CheckTemporaries(mailbox, folder.name, folder.directory, files.stale_temporaries);
      CheckIndex(mailbox, folder, files);
      CheckSizeCache(mailbox, folder.name, folder.directory, files.bytes, files.names.size());
      CheckFolderList(mailbox, folder.name, folder.directory, false);
    }
    CheckSizeCache(mailbox, "", mailbox_directory, mailbox_bytes, mailbox_files);
  }

  const std::vector<Fault>& faults() const { return faults_; }
  bool failed() const { return failed_; }

 private:
  void Add(const std::string& mailbox, const std::string& folder, const char* kind,
           const std::string& detail) {
    faults_.push_back({mailbox, folder, kind, detail, false});
  }

  void CheckIndex(const std::string& mailbox, const FolderLine& folder,
                  const MessageFiles& files) {
    const std::optional<std::vector<IndexedMessage>> entries =
        ReadIndexedMessages(folder.directory);
    if (!entries) return;  // no index yet: the next open builds it
    const size_t first = faults_.size();
    const uint32_t last_uid = ReadLastUid(folder.directory);
    std::map<uint32_t, std::string> uids;
    std::set<std::string> indexed;
    for (const IndexedMessage& entry : *entries) {
      indexed.insert(entry.file);
      if (files.names.count(entry.file) == 0) {
        Add(mailbox, folder.name, "entry-without-file", entry.file);
      }
      if (auto [held, inserted] = uids.emplace(entry.uid, entry.file); !inserted) {
        Add(mailbox, folder.name, "duplicate-uid",
            "UID " + std::to_string(entry.uid) + ": " + held->second + ", " + entry.file);
      }
      if (entry.uid > last_uid) {
        Add(mailbox, folder.name, "uid-above-lastuid",
            entry.file + " has UID " + std::to_string(entry.uid) + ", LASTUID is " +
                std::to_string(last_uid));
      }
    }
    for (const std::string& name : files.names) {
      if (indexed.count(name) == 0) Add(mailbox, folder.name, "file-without-entry", name);
    }
    if (!repair_ || faults_.size() == first) return;
    Resynced result;
    std::string text = folder.name;
    for (char& c : text) {
      if (c == '/') c = '\\';
    }
    if (!ResyncFolder(postoffice_, mailbox.c_str(), text, folder.directory, &result)) {
      failed_ = true;
      return;
    }
    for (size_t i = first; i < faults_.size(); ++i) faults_[i].repaired = true;
  }

  void CheckSizeCache(const std::string& mailbox, const std::string& folder,
                      const std::string& directory, uint64_t bytes, size_t files) {
    std::string text;
    if (!platform::ReadWholeFile(JoinStorePath(directory, "_DIRSIZE.TMP"), &text)) return;
    const uint64_t cached_kb = std::strtoull(text.c_str(), nullptr, 10);
    const uint64_t true_kb = bytes / 1024;
    // Each change is rounded to whole kilobytes on its own: allow one a file.
    const uint64_t slack = files + 1;
    const uint64_t difference = cached_kb > true_kb ? cached_kb - true_kb : true_kb - cached_kb;
    if (difference <= slack) return;
    Add(mailbox, folder, "size-cache",
        std::to_string(cached_kb) + " KB cached, " + std::to_string(true_kb) + " KB in files");
    if (repair_) {
      DeleteSizeCache(directory);
      faults_.back().repaired = platform::GetFileSize(JoinStorePath(directory, "_DIRSIZE.TMP")) < 0;
    }
  }

  void CheckBlocks(const std::string& mailbox, const std::string& folder,
                   const std::string& directory) {
    const uint64_t timeout = BlockTimeoutPolls(kUnBlockTimeout) * kFileTimeTicksPerSecond;
    for (const char* name : {kIndexBlockFileName, "_groups.blk"}) {
      const std::string path = JoinStorePath(directory, name);
      platform::FileTimes times;
      if (!platform::GetFileTimes(path, &times)) continue;
      const uint64_t now = platform::NowFileTime();
      if (now < times.last_write || now - times.last_write <= timeout) continue;
      Add(mailbox, folder, "stale-block",
          std::string(name) + " is " +
              std::to_string((now - times.last_write) / kFileTimeTicksPerSecond) + " s old");
      if (repair_) faults_.back().repaired = platform::DeleteFile(path);
    }
  }

  void CheckTemporaries(const std::string& mailbox, const std::string& folder,
                        const std::string& directory, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      Add(mailbox, folder, "stale-temporary", name);
      if (repair_) faults_.back().repaired = platform::DeleteFile(JoinStorePath(directory, name));
    }
  }

  // A list flagged stale (or not made yet) is rebuilt by the next
  // enumeration anyway; only a list taken as fresh can mislead one.
  void CheckFolderList(const std::string& mailbox, const std::string& folder,
                       const std::string& directory, bool top) {
    if (FolderIndexIsStale(directory)) return;
    const std::optional<std::vector<std::string>> listed = ReadFolderIndexNames(directory);
    const std::vector<std::string> present = ChildDirectoryNames(directory, top);
    const auto holds = [](const std::vector<std::string>& names, const std::string& name) {
      return std::any_of(names.begin(), names.end(),
                         [&](const std::string& n) { return platform::EqualsNoCase(n, name); });
    };
    const size_t first = faults_.size();
    const std::vector<std::string> none;
    for (const std::string& name : present) {
      if (!holds(listed.value_or(none), name)) Add(mailbox, folder, "folder-without-entry", name);
    }
    for (const std::string& name : listed.value_or(none)) {
      if (!holds(present, name)) Add(mailbox, folder, "entry-without-folder", name);
    }
    if (!repair_ || faults_.size() == first) return;
    const bool marked = MarkFolderIndexDirty(directory);
    for (size_t i = first; i < faults_.size(); ++i) faults_[i].repaired = marked;
  }

  const char* postoffice_;
  bool repair_;
  bool failed_ = false;
  std::vector<Fault> faults_;
};

void PrintFaults(const std::vector<Fault>& faults, bool json) {
  if (json) {
    std::vector<JsonObject> objects;
    for (const Fault& f : faults) {
      objects.push_back(JsonObject()
                            .Add("mailbox", f.mailbox)
                            .Add("folder", f.folder)
                            .Add("fault", f.kind)
                            .Add("detail", f.detail)
                            .AddBool("repaired", f.repaired));
    }
    PrintJsonArray(objects);
    return;
  }
  for (const Fault& f : faults) {
    std::printf("%s/%s: %s: %s%s\n", f.mailbox.c_str(), f.folder.c_str(), f.kind.c_str(),
                f.detail.c_str(), f.repaired ? " (repaired)" : "");
  }
  std::printf("%zu fault%s\n", faults.size(), faults.size() == 1 ? "" : "s");
}

int RunCheck(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  const bool repair = TakeOption(&argc, argv, "--repair");
  const bool all = TakeOption(&argc, argv, "-A");
  if (all ? argc != 2 : argc != 3) {
    return UsageError(kCheck, "expected a postoffice and a mailbox, or a postoffice and -A");
  }
  const char* postoffice = argv[1];
  if (!NamesStayInStore({{"postoffice", postoffice}, {"mailbox", all ? "" : argv[2]}})) {
    return kExitFailure;
  }
  if (!CallsRunHere()) return Fail("check runs on this machine only");
  std::vector<std::string> mailboxes;
  if (!RequireMailboxes(postoffice, all ? "" : argv[2], all, &mailboxes)) return kExitFailure;
  Checker checker(postoffice, repair);
  Progress progress("check: mailboxes");
  for (size_t i = 0; i < mailboxes.size(); ++i) {
    checker.CheckMailbox(mailboxes[i]);
    if (checker.failed()) {
      progress.Finish();
      return kExitFailure;
    }
    progress.Step(i + 1, mailboxes.size());
  }
  progress.Finish();
  PrintFaults(checker.faults(), json);
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
