// storeadm deliver: delivers message files into a folder as the server's
// delivery agent does: each file is copied in under a new message file
// name, all of them are indexed with one transaction, and a delivery flag
// file tells the mailbox's readers that new mail arrived.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "command.h"
#include "folder_argument.h"
#include <algorithm>
#include "indexed_messages.h"
#include "json_text.h"
#include "platform/errors.h"
#include "store_objects.h"
#include "report.h"
#include "store_names_check.h"
#include "folder/folder_files.h"
#include "folder/folder_flags.h"
#include "frame/store_paths.h"
#include "frame/file_helpers.h"
#include "index/index_outline_cache.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunDeliver(int argc, char** argv);

const Command kDeliver{"deliver", "<postoffice> <mailbox> <folder> <message file>...",
                       "copies message files into a folder and indexes them", RunDeliver, nullptr, "--json"};
const CommandRegistration kRegisterDeliver(kDeliver);

// Copies each file into the folder under a new name, as a new file of the
// store (its mode and time are not the source's); the names, or an empty
// list when a copy failed (the copies made are removed again).
std::vector<std::string> CopyIntoFolder(const std::string& folder_dir, char** files, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[64];
    NewMessageFileName(name, sizeof name);
    // Renamed into place once whole: no scan ever indexes part of a message.
    if (!platform::DurablyCopyFile(files[i], folder_dir + "\\" + name, platform::FileKind::kMessage,
                                   platform::TargetName::kNewUnique, platform::CopiedTime::kNow)) {
      const std::string reason = LastErrorText();
      ReportError("cannot copy %s into %s: %s", files[i], ShownPath(folder_dir).c_str(),
                  reason.c_str());
      for (const std::string& copied : names) platform::DeleteFile(folder_dir + "\\" + copied);
      return {};
    }
    names.push_back(name);
  }
  return names;
}

// True when the index bytes hold an entry for `name` as the store writes
// one. The new names are GUIDs, which need no escape.
bool HoldsEntryText(std::string_view index_bytes, const std::string& name) {
  const std::string entry = "<ELEMENT ID=\"" + name + "\"";
  const std::boyer_moore_horspool_searcher searcher(entry.begin(), entry.end());
  return std::search(index_bytes.begin(), index_bytes.end(), searcher) != index_bytes.end();
}

// True when the folder's index holds every one of `names`. The outline kept
// for the file answers when there is one; else, since a save writes each
// entry as the store spells it, the bytes answer without a parse; an index
// that does not show them that way is loaded to be sure.
bool AllIndexed(const std::string& folder_dir, const std::vector<std::string>& names) {
  const std::string index_path = FolderFilePath(folder_dir, kIndexFileName);
  if (KeptOutlineHolds(index_path, names) == true) return true;
  std::string bytes;
  if (platform::ReadWholeFile(index_path, &bytes) &&
      std::all_of(names.begin(), names.end(),
                  [&](const std::string& name) { return HoldsEntryText(bytes, name); })) {
    return true;
  }
  std::optional<std::vector<IndexedMessage>> indexed = ReadIndexedMessages(folder_dir);
  if (!indexed) return false;
  for (const std::string& name : names) {
    if (std::none_of(indexed->begin(), indexed->end(),
                     [&](const IndexedMessage& message) { return message.file == name; })) {
      return false;
    }
  }
  return true;
}

int RunDeliver(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc < 5) return UsageError(kDeliver, "expected a folder and at least one message file");
  FolderArgument folder_argument;
  if (argc > 3) {
    if (int usage = TakeFolderArgument(kDeliver, argv, 3, &folder_argument); usage != kExitOk) return usage;
  }
  const char* postoffice = argv[1];
  const char* mailbox = argv[2];
  const char* folder = argv[3];
  if (!NamesStayInStore({{"postoffice", postoffice},
                         {"mailbox", mailbox},
                         {"folder", folder, NameKind::kFolder}})) {
    return kExitFailure;
  }
  if (!RequireFolder(postoffice, mailbox, folder)) return kExitFailure;
  char folder_directory[kStorePathSize];
  if (BuildIndexFolderDirectory(folder_directory, sizeof folder_directory, postoffice, mailbox,
                                folder) == 0) {
    return LeadsOutOfStore("the folder");
  }
  const std::string folder_dir = folder_directory;
  const std::vector<std::string> names = CopyIntoFolder(folder_dir, argv + 4, argc - 4);
  if (names.empty()) return kExitFailure;
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ",") + name;

  // A transaction that stays blocked leaves the folder's change flag, so the
  // next open of the folder indexes the files.
  uint32_t error = 0;
  const bool ran = RetryWhileIndexBusy([&] {
    const bool done =
        Direct_StoreIndex_InsertItem(postoffice, mailbox, folder, list.c_str()) == 1;
    error = platform::GetLastError();
    return done;
  });
  if (ran && !AllIndexed(folder_dir, names)) {
    // The transaction ran but its save failed: the messages go again, so a
    // failed delivery leaves nothing behind for the sender to duplicate.
    for (const std::string& name : names) platform::DeleteFile(folder_dir + "\\" + name);
    return Fail("the index of %s could not be saved%s; nothing was delivered",
                ShownPath(folder_dir).c_str(), Because(error).c_str());
  }
  RaiseDeliveryFlag(MailboxDirectory(postoffice, mailbox));
  if (json) {
    std::printf("[");
    for (size_t i = 0; i < names.size(); ++i) {
      std::printf("%s{\"file\": %s}", i == 0 ? "" : ", ", JsonString(names[i]).c_str());
    }
    std::printf("]\n");
  } else {
    for (const std::string& name : names) std::printf("%s\n", name.c_str());
  }
  if (!ran) {
    std::fprintf(stderr,
                 "storeadm: the folder's index stayed busy; the folder is marked changed and is "
                 "indexed when next opened\n");
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
