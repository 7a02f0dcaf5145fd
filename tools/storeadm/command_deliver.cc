// storeadm deliver: delivers message files into a folder as the server's
// delivery agent does: each file is copied in under a new message file
// name, all of them are indexed with one transaction, and a delivery flag
// file tells the mailbox's readers that new mail arrived.

#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "store_names_check.h"
#include "folder/folder_flags.h"
#include "frame/store_paths.h"
#include "frame/file_helpers.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunDeliver(int argc, char** argv);

const Command kDeliver{"deliver", "<postoffice> <mailbox> <folder> <message file>...",
                       "copies message files into a folder and indexes them", RunDeliver};
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
                                   true, platform::CopiedTime::kNow)) {
      std::fprintf(stderr, "storeadm: cannot copy %s into %s\n", files[i], folder_dir.c_str());
      for (const std::string& copied : names) platform::DeleteFile(folder_dir + "\\" + copied);
      return {};
    }
    names.push_back(name);
  }
  return names;
}

int RunDeliver(int argc, char** argv) {
  if (argc < 5) return UsageError(kDeliver, "expected a folder and at least one message file");
  const char* postoffice = argv[1];
  const char* mailbox = argv[2];
  const char* folder = argv[3];
  if (!NamesStayInStore({{"postoffice", postoffice},
                         {"mailbox", mailbox},
                         {"folder", folder, NameKind::kFolder}})) {
    return kExitFailure;
  }
  char folder_dir[kStorePathSize];
  if (BuildIndexFolderDirectory(folder_dir, sizeof folder_dir, postoffice, mailbox, folder) == 0) {
    return LeadsOutOfStore("the folder");
  }
  if (!platform::IsDirectory(folder_dir)) {
    std::fprintf(stderr, "storeadm: no folder directory %s\n", folder_dir);
    return kExitFailure;
  }

  const std::vector<std::string> names = CopyIntoFolder(folder_dir, argv + 4, argc - 4);
  if (names.empty()) return kExitFailure;
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ",") + name;

  // A transaction that stays blocked leaves the folder's change flag, so the
  // next open of the folder indexes the files.
  const bool indexed = RetryWhileIndexBusy([&] {
    return Direct_StoreIndex_InsertItem(postoffice, mailbox, folder, list.c_str()) == 1;
  });
  RaiseDeliveryFlag(MailboxDirectory(postoffice, mailbox));
  for (const std::string& name : names) std::printf("%s\n", name.c_str());
  if (!indexed) {
    std::fprintf(stderr,
                 "storeadm: the folder's index stayed busy; the folder is marked changed and is "
                 "indexed when next opened\n");
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
