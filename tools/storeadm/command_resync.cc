// storeadm resync: rebuilds folder indexes from their message files as
// index --rebuild does, keeping flags and UIDs (folder_resync.h): one
// folder, every folder of a mailbox, or (-A) of every mailbox of a
// postoffice.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "folder_resync.h"
#include "frame/store_paths.h"
#include "folder_argument.h"
#include "json_text.h"
#include "progress.h"
#include "report.h"
#include "store_names_check.h"
#include "store_objects.h"
#include "store_walk.h"

namespace qx::storeadm {
namespace {

int RunResync(int argc, char** argv);

const Command kResync{"resync", "<postoffice> <mailbox> [<folder>] | <postoffice> -A [--json]",
                      "rebuilds indexes from the message files, keeping flags and UIDs of the "
                      "messages still there",
                      RunResync, nullptr, "-A --json"};
const CommandRegistration kRegisterResync(kResync);

// The folders of one mailbox, or just the one named.
std::vector<FolderLine> FoldersOf(const char* postoffice, const char* mailbox) {
  std::vector<FolderLine> folders;
  // Where the index functions put a mailbox's folders: below the mail root.
  CollectFolders(MailboxDirectory(postoffice, mailbox), "", &folders);
  return folders;
}

std::string IndexText(const std::string& name) {
  std::string text = name;
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

JsonObject JsonLine(const Resynced& r) {
  JsonObject object;
  object.Add("mailbox", r.mailbox).Add("folder", r.folder);
  object.AddNumber("messages", static_cast<int64_t>(r.messages));
  object.AddNumber("kept", static_cast<int64_t>(r.kept));
  object.AddNumber("renumbered", static_cast<int64_t>(r.renumbered));
  object.AddNumber("last_uid", r.last_uid);
  return object;
}

int RunResync(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  const bool all = TakeOption(&argc, argv, "-A");
  if (all ? argc != 2 : argc != 3 && argc != 4) {
    return UsageError(kResync, "expected a postoffice and a mailbox (and a folder), or -A");
  }
  const char* postoffice = argv[1];
  FolderArgument folder_argument;
  if (argc == 4) {
    if (int usage = TakeFolderArgument(kResync, argv, 3, &folder_argument); usage != kExitOk) {
      return usage;
    }
  }
  if (!NamesStayInStore({{"postoffice", postoffice}, {"mailbox", all ? "" : argv[2]}})) {
    return kExitFailure;
  }
  if (!CallsRunHere()) return Fail("resync runs on this machine only");
  std::vector<std::string> mailboxes;
  if (!RequireMailboxes(postoffice, all ? "" : argv[2], all, &mailboxes)) return kExitFailure;

  struct Work {
    std::string mailbox;
    FolderLine folder;
  };
  std::vector<Work> work;
  for (const std::string& mailbox : mailboxes) {
    if (argc == 4) {
      std::string directory;
      if (!RequireFolder(postoffice, mailbox.c_str(), argv[3], &directory)) return kExitFailure;
      work.push_back({mailbox, {argv[3], directory}});
      continue;
    }
    for (const FolderLine& folder : FoldersOf(postoffice, mailbox.c_str())) {
      work.push_back({mailbox, folder});
    }
  }
  std::vector<Resynced> done;
  Progress progress("resync: folders");
  for (size_t i = 0; i < work.size(); ++i) {
    Resynced result;
    result.mailbox = work[i].mailbox;
    result.folder = work[i].folder.name;
    if (!ResyncFolder(postoffice, work[i].mailbox.c_str(), IndexText(work[i].folder.name),
                      work[i].folder.directory, &result)) {
      progress.Finish();
      return kExitFailure;
    }
    done.push_back(result);
    progress.Step(i + 1, work.size());
  }
  progress.Finish();
  if (json) {
    std::vector<JsonObject> objects;
    for (const Resynced& r : done) objects.push_back(JsonLine(r));
    PrintJsonArray(objects);
    return kExitOk;
  }
  for (const Resynced& r : done) {
    std::printf("%s/%s: %zu messages, %zu kept their flags and UIDs, %zu new; last UID %u\n",
                r.mailbox.c_str(), r.folder.c_str(), r.messages, r.kept, r.renumbered,
                r.last_uid);
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
