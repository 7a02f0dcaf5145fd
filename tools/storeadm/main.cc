// storeadm: the administration command line of the message store.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "folder_argument.h"
#include "platform/diagnostics.h"
#include "qxstore.h"
#include "report.h"
#include "store_objects.h"

#ifndef QXSTORE_VERSION
#define QXSTORE_VERSION "unknown"
#endif

namespace qx::storeadm {
namespace {

constexpr size_t kHelpWidth = 79;

// `text` after `lead` on the first line, folded at blanks so that no line
// passes kHelpWidth; the lines after the first are indented by `indent`.
void PrintFolded(std::FILE* out, const std::string& lead, size_t indent, std::string_view text) {
  std::string line = lead;
  while (!text.empty()) {
    const size_t room = kHelpWidth > line.size() ? kHelpWidth - line.size() : 1;
    size_t cut = text.size();
    if (cut > room) {
      cut = text.rfind(' ', room);
      if (cut == std::string_view::npos || cut == 0) cut = std::min(text.find(' '), text.size());
    }
    std::fprintf(out, "%s%.*s\n", line.c_str(), static_cast<int>(cut), text.data());
    text.remove_prefix(cut);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    line.assign(indent, ' ');
  }
}

// The command's entry in the list: its name, a '*' when it takes --host,
// the summary, then each of its forms ("storeadm calendar add ...").
void PrintSummary(std::FILE* out, const Command& command) {
  char lead[32];
  std::snprintf(lead, sizeof lead, "  %-11s%s", command.name, command.forwards ? "* " : "  ");
  PrintFolded(out, lead, 15, command.summary);
  const std::string prefix = std::string("storeadm ") + command.name;
  std::string_view forms = command.arguments;
  do {
    const size_t end = forms.find('\n');
    std::string_view form = forms.substr(0, end);
    while (!form.empty() && form.front() == ' ') form.remove_prefix(1);
    if (form.substr(0, prefix.size() + 1) == prefix + " ") form.remove_prefix(prefix.size() + 1);
    if (form.empty()) {
      std::fprintf(out, "%*s%s\n", 15, "", prefix.c_str());
    } else {
      PrintFolded(out, std::string(15, ' ') + prefix + " ", 19, form);
    }
    forms = end == std::string_view::npos ? std::string_view() : forms.substr(end + 1);
  } while (!forms.empty());
}

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "usage: storeadm <command> [arguments]\n"
               "       storeadm <command> --help\n"
               "       storeadm help folders\n"
               "       storeadm --help | --version\n"
               "\n"
               "Administers the message store named by the registry file in\n"
               "QXSTORE_REGISTRY (default /etc/qxstore/registry.reg). Exit status:\n"
               "0 done, 1 failed (the reason on standard error), 2 wrong arguments.\n"
               "Commands that print data take --json; those marked * take --host NAME\n"
               "to run on a remote administration host.\n"
               "\n"
               "commands:\n");
  for (const Command& command : Commands()) {
    if (command.hidden) continue;
    PrintSummary(out, command);
  }
}

// Whether the command's work can go to a remote administration host.
const char* RemoteUseText(const Command& command) {
  return command.forwards
             ? "Takes --host NAME: its calls then run on that remote administration host\n"
               "(storeadm config lists the hosts)."
             : "Runs on this machine only: its calls are not forwarded to a remote\n"
               "administration host, even when ForceDefaultHost is set.";
}

bool IsHelpFlag(const char* argument) {
  return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

// The option's entry in the command's list: "--xsl=" for "--xsl", null
// when the command does not take it.
const char* FindOption(const Command& command, std::string_view option) {
  std::string_view list = command.options;
  while (!list.empty()) {
    const size_t blank = list.find(' ');
    std::string_view entry = list.substr(0, blank);
    const bool takes_value = !entry.empty() && entry.back() == '=';
    if ((takes_value ? entry.substr(0, entry.size() - 1) : entry) == option) {
      return takes_value ? "=" : "";
    }
    if (blank == std::string_view::npos) break;
    list.remove_prefix(blank + 1);
  }
  return nullptr;
}

bool LooksLikeOption(const char* argument) {
  return (argument[0] == '-' && argument[1] == '-' && argument[2] != '\0') ||
         std::strcmp(argument, "-A") == 0;
}

// Checks the options against the command's list and takes "--host NAME"
// out of `arguments`; the exit code of a usage error, or kExitOk.
int CheckOptions(const Command& command, std::vector<char*>* arguments, const char** host) {
  std::vector<char*> kept;
  for (size_t i = 0; i < arguments->size(); ++i) {
    char* argument = (*arguments)[i];
    if (std::strcmp(argument, "--host") == 0) {
      if (!command.forwards) {
        return UsageError(command, (std::string(command.name) +
                                    " runs on this machine only: --host does not apply")
                                       .c_str());
      }
      if (i + 1 >= arguments->size()) return UsageError(command, "--host needs a host name");
      *host = (*arguments)[++i];
      continue;
    }
    kept.push_back(argument);
    if (!LooksLikeOption(argument)) continue;
    const char* option = FindOption(command, argument);
    if (option == nullptr) {
      return UsageError(command, (std::string("unknown option ") + argument).c_str());
    }
    if (*option == '=') {
      if (i + 1 >= arguments->size()) {
        return UsageError(command, (std::string(argument) + " needs a value").c_str());
      }
      kept.push_back((*arguments)[++i]);
    }
  }
  *arguments = std::move(kept);
  return kExitOk;
}

// Data written to a file or pipe is complete only once it is flushed: a
// full disk shows here, not at the printf.
int CheckStandardOutput(int result) {
  if (FlushStandardOutputOrReport()) return result;
  return result == kExitOk ? kExitFailure : result;
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    PrintHelp(stderr);
    return kExitUsage;
  }
  if (IsHelpFlag(argv[1])) {
    PrintHelp(stdout);
    return CheckStandardOutput(kExitOk);
  }
  if (std::strcmp(argv[1], "help") == 0) {
    if (argc == 3 && std::strcmp(argv[2], "folders") == 0) {
      std::printf("%s", FolderGrammarHelp());
    } else if (argc == 2) {
      PrintHelp(stdout);
    } else {
      std::fprintf(stderr, "storeadm: help takes nothing or \"folders\"\n");
      return kExitUsage;
    }
    return CheckStandardOutput(kExitOk);
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("storeadm %s\n", QXSTORE_VERSION);
    return CheckStandardOutput(kExitOk);
  }
  const Command* command = FindCommand(argv[1]);
  if (command == nullptr) {
    std::fprintf(stderr, "storeadm: unknown command '%s' (storeadm --help lists them)\n",
                 argv[1]);
    return kExitUsage;
  }
  std::vector<char*> arguments(argv + 1, argv + argc);
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (IsHelpFlag(arguments[i])) {
      std::printf("%s\n", command->summary);
      PrintCommandUsage(*command, stdout);
      if (command->details != nullptr) std::printf("\n%s", command->details);
      std::printf("\n%s\n", RemoteUseText(*command));
      return CheckStandardOutput(kExitOk);
    }
  }
  SetJsonErrors(HasOption(argc, argv, "--json"));
  const char* host = nullptr;
  if (int usage = CheckOptions(*command, &arguments, &host); usage != kExitOk) return usage;
  // Standard output carries the data; the library's own lines go beside it.
  platform::DiagnosticsToStandardErrorByDefault();
  // The library started as it was loaded, with this process's settings;
  // it stops as it is unloaded at exit.
  if (host != nullptr) SetCurrentHost(host);
  arguments.push_back(nullptr);
  const int result = command->run(static_cast<int>(arguments.size()) - 1, arguments.data());
  // With every call forwarded by the settings, a command that does its work
  // here says so: its answer is this machine's, not the host's.
  if (result == kExitOk && !command->forwards && !CallsRunHere()) {
    std::fprintf(stderr, "storeadm: %s ran on this machine; ForceDefaultHost does not apply to it\n",
                 command->name);
  }
  // The main thread's state (an open folder, its record) goes as a host's
  // thread end would take it, before the library stops.
  StoreLibrary_ThreadRelease();
  return CheckStandardOutput(result);
}

}  // namespace
}  // namespace qx::storeadm

int main(int argc, char** argv) { return qx::storeadm::Main(argc, argv); }
