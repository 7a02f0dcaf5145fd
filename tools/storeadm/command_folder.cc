// storeadm folder: adds, removes, renames and copies folders through the
// store's folder functions, so the child lists, special names, shares and
// size caches change exactly as they do for the server's own clients.

#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "json_text.h"
#include "frame/store_paths.h"
#include "platform/file.h"
#include "store_objects.h"
#include "report.h"
#include "forwarding_check.h"
#include "store_names_check.h"
#include "qxstore.h"
#include "store/store_folder_record.h"

namespace qx::storeadm {
namespace {

int RunFolder(int argc, char** argv);

const Command kFolder{
    "folder",
    "add|remove <postoffice> <mailbox> <parent> <name>\n"
    "       storeadm folder rename|copy <postoffice> <mailbox> <parent> <name> <new parent> "
    "<new name>",
    "adds, removes, renames or copies a folder (parent \"\\\" is the mailbox's top folder)",
    RunFolder, nullptr, "--json", true};
const CommandRegistration kRegisterFolder(kFolder);

bool g_json = false;

bool Fits(const char* text, size_t size) { return std::strlen(text) < size; }

// False when a name does not fit its field: it would be cut, and the cut
// name could be another folder.
bool FillRecord(STOREFOLDER* record, const char* postoffice, const char* mailbox,
                const char* parent, const char* name) {
  *record = STOREFOLDER{};
  if (!Fits(postoffice, sizeof record->postoffice) || !Fits(mailbox, sizeof record->mailbox) ||
      !Fits(parent, sizeof record->parent) || !Fits(name, sizeof record->name)) {
    return false;
  }
  std::strcpy(record->postoffice, postoffice);
  std::strcpy(record->mailbox, mailbox);
  std::strcpy(record->parent, parent);
  std::strcpy(record->name, name);
  return true;
}

std::string Describe(const STOREFOLDER& record) {
  return "\"" + RecordText(record.name) + "\" in \"" + RecordText(record.parent) + "\"";
}

// `action` is the verb ("add"), `done` its past form ("added").
int Report(uint32_t result, const char* action, const char* done, const std::string& what) {
  if (result == 0 && ReportForwardingFailure()) return kExitFailure;
  if (result == 0) {
    // What the folder functions left as the last error says why.
    ReportError("could not %s %s: %s", action, what.c_str(), LastErrorText().c_str());
    return kExitFailure;
  }
  if (g_json) {
    PrintJsonArray({JsonObject().Add("action", action).Add("folder", what)});
  } else {
    std::printf("%s %s\n", done, what.c_str());
  }
  return kExitOk;
}

bool FolderNamesStayInStore(char** arguments, int folders) {
  if (!NamesStayInStore({{"postoffice", arguments[0]}, {"mailbox", arguments[1]}})) return false;
  for (int i = 0; i < folders; ++i) {
    if (!NamesStayInStore({{"parent", arguments[2 + 2 * i], NameKind::kFolder},
                           {"folder name", arguments[3 + 2 * i], NameKind::kFolder}})) {
      return false;
    }
  }
  return true;
}

// The folder text of `name` below `parent`, as the index functions take it.
std::string FolderText(const char* parent, const char* name) {
  std::string text = parent;
  while (!text.empty() && (text.front() == '\\' || text.front() == '/')) text.erase(0, 1);
  return text.empty() ? name : text + "\\" + name;
}

int RunOne(const std::string& action, char** arguments) {
  if (!FolderNamesStayInStore(arguments, 1)) return kExitFailure;
  if (!RequireMailbox(arguments[0], arguments[1])) return kExitFailure;
  STOREFOLDER record;
  if (!FillRecord(&record, arguments[0], arguments[1], arguments[2], arguments[3])) {
    return UsageError(kFolder, "a name is too long for the folder record");
  }
  if (action == "add") {
    const std::string text = FolderText(arguments[2], arguments[3]);
    if (CallsRunHere() && platform::IsDirectory(PlanResolvedFolderDirectory(
                              arguments[0], arguments[1], text.c_str()).directory)) {
      return Fail("could not add %s: it exists already", Describe(record).c_str());
    }
    uint32_t result = StoreFolderAdd(&record);
    return Report(result, "add", "added", Describe(record));
  }
  uint32_t result = StoreFolderRemove(&record);
  return Report(result, "remove", "removed", Describe(record));
}

int RunTwo(const std::string& action, char** arguments) {
  if (!FolderNamesStayInStore(arguments, 2)) return kExitFailure;
  if (!RequireMailbox(arguments[0], arguments[1])) return kExitFailure;
  STOREFOLDER source;
  STOREFOLDER target;
  if (!FillRecord(&source, arguments[0], arguments[1], arguments[2], arguments[3]) ||
      !FillRecord(&target, arguments[0], arguments[1], arguments[4], arguments[5])) {
    return UsageError(kFolder, "a name is too long for the folder record");
  }
  bool rename = action == "rename";
  uint32_t result = rename ? StoreFolderEdit(&source, &target) : StoreFolderCopy(&source, &target);
  std::string what = Describe(source) + " to " + Describe(target);
  return Report(result, rename ? "rename" : "copy", rename ? "renamed" : "copied", what);
}

int RunFolder(int argc, char** argv) {
  g_json = TakeOption(&argc, argv, "--json");
  if (argc < 2) return UsageError(kFolder, "folder needs an action");
  const std::string action = argv[1];
  if (action == "add" || action == "remove") {
    if (argc != 6) return UsageError(kFolder, "add and remove take four arguments");
    return RunOne(action, argv + 2);
  }
  if (action == "rename" || action == "copy") {
    if (argc != 8) return UsageError(kFolder, "rename and copy take six arguments");
    return RunTwo(action, argv + 2);
  }
  return UsageError(kFolder, "the action is add, remove, rename or copy");
}

}  // namespace
}  // namespace qx::storeadm
