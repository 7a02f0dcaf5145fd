// storeadm resync: rebuilds folder indexes from their message files, as
// index --rebuild does, but keeps what only the old index knew: a message
// whose file is still there keeps its flags and its UID;
// new files get UIDs above every UID handed out before, so no UID is ever
// used twice. One folder, every folder of a mailbox, or (-A) of every
// mailbox of a postoffice.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "frame/store_paths.h"
#include "platform/errors.h"
#include "folder_argument.h"
#include "index/index_document.h"
#include "index/index_format.h"
#include "index/index_scan.h"
#include "index/index_transaction.h"
#include "index/message_id_lookup.h"
#include "index/store_index.h"
#include "indexed_messages.h"
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
                      RunResync, "-A --json"};
const CommandRegistration kRegisterResync(kResync);

struct Resynced {
  std::string mailbox;
  std::string folder;
  size_t messages = 0;
  size_t kept = 0;      // flags and UID carried over
  size_t renumbered = 0;  // new files, given UIDs above the old ones
  uint32_t last_uid = 0;
};

// The rebuilt entry is of the message the old entry was made for: the
// file name agrees, and its size, its stamp, or its subject and date do.
// (The first indexing of a file may strip a header from it after its size
// and stamp were taken, so those alone would call a message that never
// changed a new one.)
bool SameMessage(const IndexedMessage& old, pugi::xml_node entry) {
  const uint32_t size =
      static_cast<uint32_t>(std::strtoul(entry.child(kSizeElement).text().get(), nullptr, 10));
  if (old.size == size) return true;
  if (!old.modified.empty() && old.modified == entry.child(kModifiedDateElement).text().get()) {
    return true;
  }
  return old.subject == entry.child(kSubjectElement).text().get() &&
         old.date == entry.child(kMessageDateElement).text().get();
}

// Gives the rebuilt entries their old UIDs and flags, the new ones fresh
// UIDs, and the index a LASTUID no lower than before.
void CarryOver(StoreIndex* index, const std::vector<IndexedMessage>& old, uint32_t old_last,
               Resynced* result) {
  std::map<std::string, const IndexedMessage*> by_file;
  uint32_t next = old_last;
  for (const IndexedMessage& message : old) {
    by_file[message.file] = &message;
    next = std::max(next, message.uid);
  }
  const XmlDocument& document = HeldDocument(index);
  for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
    ++result->messages;
    const auto found = by_file.find(entry.attribute(kIdAttribute).value());
    if (found != by_file.end() && SameMessage(*found->second, entry)) {
      entry.attribute(kUidAttribute).set_value(found->second->uid);
      SetEntryFlagWords(entry, found->second->flags);
      ++result->kept;
    } else {
      entry.attribute(kUidAttribute).set_value(++next);
      ++result->renumbered;
    }
  }
  SetDocumentLastUid(document, next);
  result->last_uid = next;
}

// One folder; false with the reason printed.
bool ResyncFolder(const char* postoffice, const char* mailbox, const std::string& folder_text,
                  const std::string& directory, Resynced* result) {
  const std::vector<IndexedMessage> old =
      ReadIndexedMessages(directory).value_or(std::vector<IndexedMessage>{});
  const uint32_t old_last = ReadLastUid(directory);
  if (ScanFolders(directory.c_str(), true, false) == 0) {
    ReportError("could not rebuild the index of %s (is the folder busy?)",
                ShownPath(directory).c_str());
    return false;
  }
  StoreIndex index;
  InitStoreIndex(&index);
  if (OpenIndexForTransaction(&index, postoffice, mailbox, folder_text.c_str()) != 1) {
    ReleaseStoreIndex(&index);
    ReportError("the index of %s is busy", ShownPath(directory).c_str());
    return false;
  }
  CarryOver(&index, old, old_last, result);
  SaveAndCloseIndex(&index, true);
  ReleaseStoreIndex(&index);
  // The save reports nothing: the file says whether the UIDs went in.
  if (ReadLastUid(directory) != result->last_uid) {
    ReportError("the index of %s could not be saved%s", ShownPath(directory).c_str(),
                Because(platform::GetLastError()).c_str());
    return false;
  }
  return true;
}

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
  if (all) {
    if (!RequirePostoffice(postoffice)) return kExitFailure;
    mailboxes = ListMailboxes(postoffice);
  } else {
    if (!RequireMailbox(postoffice, argv[2])) return kExitFailure;
    mailboxes.push_back(argv[2]);
  }

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
