// storeadm cp, mv and rm: messages between the folders of a mailbox, and
// out of it, through the store's own index transactions, so the size
// caches follow and connected clients hear of the change. A copy gets a
// new file name and keeps its flags; a move is a copy whose original then
// goes; a remove takes the index entry first, so a file that cannot be
// deleted is found again by the next scan rather than lost.

#include <cstdio>
#include <optional>
#include <string>

#include "command.h"
#include "folder_argument.h"
#include "frame/file_helpers.h"
#include "frame/store_paths.h"
#include "indexed_messages.h"
#include "json_text.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "qxstore.h"
#include "report.h"
#include "store_names_check.h"
#include "store_objects.h"

namespace qx::storeadm {
namespace {

int RunCp(int argc, char** argv);
int RunMv(int argc, char** argv);
int RunRm(int argc, char** argv);

const Command kCp{"cp", "<postoffice> <mailbox> <folder> <message> <target folder> [--json]",
                  "copies a message into another folder of the mailbox, flags included", RunCp,
                  nullptr, "--json"};
const Command kMv{"mv", "<postoffice> <mailbox> <folder> <message> <target folder> [--json]",
                  "moves a message into another folder of the mailbox, flags included", RunMv,
                  nullptr, "--json"};
const Command kRm{"rm", "<postoffice> <mailbox> <folder> <message> [--json]",
                  "removes a message from a folder: its index entry, then its file", RunRm,
                  nullptr, "--json"};
const CommandRegistration kRegisterCp(kCp);
const CommandRegistration kRegisterMv(kMv);
const CommandRegistration kRegisterRm(kRm);

struct Place {
  const char* postoffice;
  const char* mailbox;
  FolderArgument folder;
  std::string directory;
};

// Parses and checks a folder of the mailbox; the exit code, kExitOk when usable.
int TakePlace(const Command& command, char** argv, int position, Place* place) {
  if (int usage = TakeFolderArgument(command, argv, position, &place->folder); usage != kExitOk) {
    return usage;
  }
  if (!NamesStayInStore({{"postoffice", place->postoffice},
                         {"mailbox", place->mailbox},
                         {"folder", argv[position], NameKind::kFolder}})) {
    return kExitFailure;
  }
  if (!CallsRunHere()) return Fail("%s runs on this machine only", command.name);
  return RequireFolder(place->postoffice, place->mailbox, place->folder.index_text.c_str(),
                       &place->directory)
             ? kExitOk
             : kExitFailure;
}

bool Indexed(const std::string& directory, const std::string& file) {
  std::optional<std::vector<IndexedMessage>> messages = ReadIndexedMessages(directory);
  if (!messages) return false;
  for (const IndexedMessage& message : *messages) {
    if (message.file == file) return true;
  }
  return false;
}

// Copies the message into `to` under a new name and indexes it there with
// its flags; the new name, or nullopt with the reason printed (and no copy
// left behind).
std::optional<std::string> CopyMessage(const Place& from, const IndexedMessage& message,
                                       const Place& to) {
  char name[64];
  NewMessageFileName(name, sizeof name);
  const std::string target = JoinStorePath(to.directory, name);
  if (!platform::CopyFile(JoinStorePath(from.directory, message.file), target, true)) {
    const std::string reason = LastErrorText();
    platform::DeleteFile(target);
    ReportError("cannot copy %s into %s: %s", message.file.c_str(),
                ShownPath(to.directory).c_str(), reason.c_str());
    return std::nullopt;
  }
  uint32_t error = 0;
  const bool ran = RetryWhileIndexBusy([&] {
    const bool done = Direct_StoreIndex_InsertItemEx(to.postoffice, to.mailbox,
                                                     to.folder.index_text.c_str(), name,
                                                     message.flags.c_str()) == 1;
    error = platform::GetLastError();
    return done;
  });
  if (!ran || !Indexed(to.directory, name)) {
    platform::DeleteFile(target);
    ReportError("the index of %s %s%s; nothing was copied", ShownPath(to.directory).c_str(),
                ran ? "could not be saved" : "stayed busy", Because(error).c_str());
    return std::nullopt;
  }
  return std::string(name);
}

// Takes the message's entry out of the folder's index, then its file.
bool RemoveMessage(const Place& place, const IndexedMessage& message) {
  const bool ran = RetryWhileIndexBusy([&] {
    return Direct_StoreIndex_RemoveItem(place.postoffice, place.mailbox,
                                        place.folder.index_text.c_str(),
                                        message.file.c_str()) == 1;
  });
  if (!ran || Indexed(place.directory, message.file)) {
    ReportError("the entry of %s could not be taken out of the index of %s", message.file.c_str(),
                ShownPath(place.directory).c_str());
    return false;
  }
  if (!platform::DeleteFile(JoinStorePath(place.directory, message.file))) {
    ReportError("%s left the index but its file stays: %s", message.file.c_str(),
                LastErrorText().c_str());
    return false;
  }
  return true;
}

int CopyOrMove(const Command& command, int argc, char** argv, bool move) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 6) return UsageError(command, "expected a folder, a message and a target folder");
  Place from{argv[1], argv[2], {}, {}};
  Place to{argv[1], argv[2], {}, {}};
  if (int code = TakePlace(command, argv, 3, &from); code != kExitOk) return code;
  if (int code = TakePlace(command, argv, 5, &to); code != kExitOk) return code;
  if (from.directory == to.directory) return Fail("the target is the message's own folder");
  std::optional<IndexedMessage> message = FindIndexedMessage(from.directory, argv[4]);
  if (!message) return kExitFailure;
  std::optional<std::string> copy = CopyMessage(from, *message, to);
  if (!copy) return kExitFailure;
  if (move && !RemoveMessage(from, *message)) return kExitFailure;
  if (json) {
    PrintJsonArray({JsonObject().Add("file", message->file).Add("target_file", *copy)});
  } else {
    std::printf("%s -> %s\n", message->file.c_str(), copy->c_str());
  }
  return kExitOk;
}

int RunCp(int argc, char** argv) { return CopyOrMove(kCp, argc, argv, false); }
int RunMv(int argc, char** argv) { return CopyOrMove(kMv, argc, argv, true); }

int RunRm(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 5) return UsageError(kRm, "expected a folder and a message");
  Place place{argv[1], argv[2], {}, {}};
  if (int code = TakePlace(kRm, argv, 3, &place); code != kExitOk) return code;
  std::optional<IndexedMessage> message = FindIndexedMessage(place.directory, argv[4]);
  if (!message || !RemoveMessage(place, *message)) return kExitFailure;
  if (json) {
    PrintJsonArray({JsonObject().Add("file", message->file)});
  } else {
    std::printf("%s\n", message->file.c_str());
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
