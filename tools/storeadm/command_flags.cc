// storeadm flags: shows or changes the flags of one indexed message through
// the update transaction other server programs use. Only the five flag
// words of the store are taken, so a typing error cannot replace every
// flag with a word no client knows.

#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "command.h"
#include "folder_argument.h"
#include "index/flag_change_text.h"
#include "indexed_messages.h"
#include "json_text.h"
#include "message/flag_words.h"
#include "platform/errors.h"
#include "platform/text_compare.h"
#include "qxstore.h"
#include "report.h"
#include "store_names_check.h"
#include "store_objects.h"

namespace qx::storeadm {
namespace {

int RunFlags(int argc, char** argv);

const Command kFlags{
    "flags",
    "show|add|remove|replace <postoffice> <mailbox> <folder> <message> [<flag>...] [--json]",
    "shows or changes a message's flags: seen, answered, flagged, deleted, recent", RunFlags,
    nullptr, "--json"};
const CommandRegistration kRegisterFlags(kFlags);

constexpr std::array<const char*, 5> kFlagWords = {kFlagSeen, kFlagAnswered, kFlagFlagged,
                                                   kFlagDeleted, kFlagRecent};

// "seen", "\Seen" or "\SEEN" as the index keeps it; nullopt for any other word.
std::optional<std::string> FlagWord(const char* text) {
  const char* bare = *text == '\\' ? text + 1 : text;
  for (const char* word : kFlagWords) {
    if (platform::EqualsNoCase(bare, word + 1)) return std::string(word);
  }
  return std::nullopt;
}

// The change text of the update transaction for an action and its flags.
std::string ChangeText(const std::string& action, const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    text += (action == "add" ? "+" : action == "remove" ? "-" : "") + word;
  }
  return text;
}

void PrintMessage(const IndexedMessage& message, bool json) {
  if (!json) {
    std::printf("%s\t%u\t%s\n", message.file.c_str(), message.uid, message.flags.c_str());
    return;
  }
  std::printf("[{\"file\": %s, \"uid\": %u, \"flags\": %s}]\n", JsonString(message.file).c_str(),
              message.uid, JsonString(message.flags).c_str());
}

int RunFlags(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  std::vector<const char*> args(argv + 1, argv + argc);
  if (args.size() < 5) return UsageError(kFlags, "expected an action, a folder and a message");
  const std::string action = args[0];
  const bool show = action == "show";
  if (!show && action != "add" && action != "remove" && action != "replace") {
    return UsageError(kFlags, "the action is show, add, remove or replace");
  }
  if (show && args.size() != 5) return UsageError(kFlags, "show takes no flags");
  if ((action == "add" || action == "remove") && args.size() == 5) {
    return UsageError(kFlags, "name at least one flag");
  }
  std::vector<std::string> words;
  for (size_t i = 5; i < args.size(); ++i) {
    std::optional<std::string> word = FlagWord(args[i]);
    if (!word) {
      return UsageError(kFlags, (std::string("unknown flag ") + args[i] +
                                 " (seen, answered, flagged, deleted, recent)")
                                    .c_str());
    }
    words.push_back(*word);
  }
  FolderArgument folder_argument;
  if (int usage = TakeFolderArgument(kFlags, argv, 4, &folder_argument); usage != kExitOk) {
    return usage;
  }
  args[3] = argv[4];
  const char* postoffice = args[1];
  const char* mailbox = args[2];
  const char* folder = args[3];
  if (!NamesStayInStore({{"postoffice", postoffice},
                         {"mailbox", mailbox},
                         {"folder", folder, NameKind::kFolder}})) {
    return kExitFailure;
  }
  std::string folder_dir;
  if (!RequireFolder(postoffice, mailbox, folder, &folder_dir)) return kExitFailure;
  std::optional<IndexedMessage> message = FindIndexedMessage(folder_dir, args[4]);
  if (!message) return kExitFailure;
  if (show) {
    PrintMessage(*message, json);
    return kExitOk;
  }

  std::string expected = message->flags;
  const std::string change = ChangeText(action, words);
  ApplyFlagChangeText(&expected, change);
  uint32_t error = 0;
  const bool ran = RetryWhileIndexBusy([&] {
    const bool done = Direct_StoreIndex_UpdateItem(postoffice, mailbox, folder,
                                                   message->file.c_str(), change.c_str()) == 1;
    error = platform::GetLastError();
    return done;
  });
  if (!ran) return Fail("the index of %s stayed busy", ShownPath(folder_dir).c_str());
  // The transaction runs even when its save fails: the index says whether
  // the change is there.
  std::optional<IndexedMessage> after = FindIndexedMessage(folder_dir, message->file);
  if (!after) return kExitFailure;
  if (after->flags != expected) {
    return Fail("the flags of %s could not be saved in the index of %s%s", message->file.c_str(),
                ShownPath(folder_dir).c_str(), Because(error).c_str());
  }
  PrintMessage(*after, json);
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
