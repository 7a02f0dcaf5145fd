// storeadm mailbox and postoffice: the mailboxes of a postoffice (list,
// create, delete) and the postoffices of the store (list). A mailbox is
// its directory below the postoffice's MAILROOT with an Inbox in it; a
// delete takes its folders and messages, so one holding messages asks for
// --force.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "frame/store_paths.h"
#include "json_text.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "qxstore.h"
#include "report.h"
#include "store_names_check.h"
#include "store_objects.h"
#include "store_walk.h"

namespace qx::storeadm {
namespace {

int RunMailbox(int argc, char** argv);
int RunPostoffice(int argc, char** argv);

const Command kMailbox{"mailbox",
                       "list <postoffice> [--json] | create <postoffice> <mailbox> | "
                       "delete <postoffice> <mailbox> [--force]",
                       "lists, creates or deletes the mailboxes of a postoffice", RunMailbox,
                       nullptr, "--json --force"};
const CommandRegistration kRegisterMailbox(kMailbox);

const Command kPostoffice{"postoffice", "list [--json]", "lists the postoffices of the store",
                          RunPostoffice, nullptr, "--json"};
const CommandRegistration kRegisterPostoffice(kPostoffice);

void PrintNames(const std::vector<std::string>& names, const char* key, bool json) {
  if (!json) {
    for (const std::string& name : names) std::printf("%s\n", name.c_str());
    return;
  }
  std::vector<JsonObject> objects;
  for (const std::string& name : names) objects.push_back(JsonObject().Add(key, name));
  PrintJsonArray(objects);
}

// Message files (not store files) anywhere below `directory`.
size_t CountMessages(const std::string& directory) {
  size_t count = 0;
  for (platform::Listing listing = platform::Listing::Open(directory + "\\*.*"); listing.valid();
       listing.Next()) {
    const platform::FindData& found = listing.current();
    if (found.name == "." || found.name == "..") continue;
    if (found.symbolic_link) continue;
    if ((found.attributes & platform::kAttributeDirectory) != 0) {
      count += CountMessages(JoinStorePath(directory, found.name));
    } else if (found.name[0] != '_') {
      ++count;
    }
  }
  return count;
}

// Removes everything below `directory` and the directory; false with the
// last error set at the first entry that stays.
bool RemoveTree(const std::string& directory) {
  for (platform::Listing listing = platform::Listing::Open(directory + "\\*.*"); listing.valid();
       listing.Next()) {
    const platform::FindData& found = listing.current();
    if (found.name == "." || found.name == "..") continue;
    const std::string path = JoinStorePath(directory, found.name);
    // A link is removed itself; what it leads to is not the mailbox's.
    const bool removed = (found.attributes & platform::kAttributeDirectory) != 0 &&
                                 !found.symbolic_link
                             ? RemoveTree(path)
                             : platform::DeleteFile(path);
    if (!removed) return false;
  }
  return platform::RemoveDirectory(directory);
}

int Create(const char* postoffice, const char* mailbox) {
  if (!RequirePostoffice(postoffice)) return kExitFailure;
  const std::string directory = PostofficeMailboxDirectory(postoffice, mailbox);
  if (platform::IsDirectory(directory)) {
    return Fail("mailbox %s exists already (%s)", mailbox, ShownPath(directory).c_str());
  }
  const std::string inbox = JoinStorePath(directory, "INBOX");
  if (!platform::CreateDirectory(directory) || !platform::CreateDirectory(inbox)) {
    const std::string reason = LastErrorText();
    RemoveTree(directory);
    return Fail("cannot create mailbox %s: %s", mailbox, reason.c_str());
  }
  std::printf("created %s\n", ShownPath(directory).c_str());
  return kExitOk;
}

int Delete(const char* postoffice, const char* mailbox, bool force) {
  if (!RequireMailbox(postoffice, mailbox)) return kExitFailure;
  const std::string directory = PostofficeMailboxDirectory(postoffice, mailbox);
  const size_t messages = CountMessages(directory);
  if (messages > 0 && !force) {
    return Fail("mailbox %s holds %zu message files; --force deletes them with it", mailbox,
                messages);
  }
  RemoveMailboxShares(mailbox, postoffice);
  if (!RemoveTree(directory)) {
    return Fail("cannot delete all of %s: %s", ShownPath(directory).c_str(),
                LastErrorText().c_str());
  }
  std::printf("deleted %s (%zu message files)\n", ShownPath(directory).c_str(), messages);
  return kExitOk;
}

int RunMailbox(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  const bool force = TakeOption(&argc, argv, "--force");
  const std::string action = argc > 1 ? argv[1] : "";
  if (action == "list" ? argc != 3 : argc != 4) {
    return UsageError(kMailbox, "expected list <postoffice>, or create or delete <postoffice> "
                                "<mailbox>");
  }
  if (force && action != "delete") return UsageError(kMailbox, "--force goes with delete");
  if (!NamesStayInStore({{"postoffice", argv[2]}, {"mailbox", argc == 4 ? argv[3] : ""}})) {
    return kExitFailure;
  }
  if (argc == 4 && *argv[3] == '\0') return UsageError(kMailbox, "the mailbox name is empty");
  if (action == "list") {
    if (!RequirePostoffice(argv[2])) return kExitFailure;
    PrintNames(ListMailboxes(argv[2]), "mailbox", json);
    return kExitOk;
  }
  if (action == "create") return Create(argv[2], argv[3]);
  if (action == "delete") return Delete(argv[2], argv[3], force);
  return UsageError(kMailbox, "the action is list, create or delete");
}

int RunPostoffice(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 2 || std::strcmp(argv[1], "list") != 0) {
    return UsageError(kPostoffice, "the action is list");
  }
  PrintNames(ListPostoffices(), "postoffice", json);
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
