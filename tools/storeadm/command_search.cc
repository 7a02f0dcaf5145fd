// storeadm search: the store's content search over a directory tree, run
// through the same calls the server's services use, one matching path a
// line.

#include <cstdio>
#include <cstring>

#include "command.h"
#include "report.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunSearch(int argc, char** argv);

const Command kSearch{
    "search", "<directory> <pattern> [--recursive] [--case]",
    "lists the files under a directory holding a pattern (\"*word*\"); exit 1 when none does",
    RunSearch, "--recursive --case"};
const CommandRegistration kRegisterSearch(kSearch);

struct SearchArguments {
  const char* directory = nullptr;
  const char* pattern = nullptr;
  bool recursive = false;
  bool case_sensitive = false;
};

// Null on success, else what is wrong with the arguments.
const char* ParseArguments(int argc, char** argv, SearchArguments* parsed) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "--recursive") == 0) {
      parsed->recursive = true;
    } else if (std::strcmp(argument, "--case") == 0) {
      parsed->case_sensitive = true;
    } else if (std::strncmp(argument, "--", 2) == 0) {
      return "unknown option";
    } else if (parsed->directory == nullptr) {
      parsed->directory = argument;
    } else if (parsed->pattern == nullptr) {
      parsed->pattern = argument;
    } else {
      return "too many arguments";
    }
  }
  return parsed->pattern == nullptr ? "search needs a directory and a pattern" : nullptr;
}

void SetParameters(const SearchArguments& arguments) {
  MsgSearch_SetParameter_String("Directory", arguments.directory);
  MsgSearch_SetParameter_String("SearchString", arguments.pattern);
  MsgSearch_SetParameter_Int("SearchSubFolders", arguments.recursive ? 1 : 0);
  MsgSearch_SetParameter_Int("CaseSensitive", arguments.case_sensitive ? 1 : 0);
}

int PrintMatches() {
  int count = 0;
  for (uint32_t found = StoreItem_FirstMatch(); found != 0; found = StoreItem_NextMatch()) {
    char* name = nullptr;
    uint32_t length = 0;
    StoreItem_GetMatchProp("Filename", &name, &length);
    std::printf("%.*s\n", static_cast<int>(length), name != nullptr ? name : "");
    ++count;
  }
  return count;
}

int RunSearch(int argc, char** argv) {
  SearchArguments arguments;
  if (const char* problem = ParseArguments(argc, argv, &arguments)) {
    return UsageError(kSearch, problem);
  }
  if (!platform::IsDirectory(arguments.directory)) {
    ReportError("%s is not a directory\n", arguments.directory);
    return kExitFailure;
  }
  MsgSearch_Init();
  SetParameters(arguments);
  const int count = PrintMatches();
  MsgSearch_UnInit();
  if (count > 0) return kExitOk;
  ReportError("no file matches %s\n", arguments.pattern);
  if (std::strchr(arguments.pattern, '*') == nullptr) {
    ReportError(
                 "a pattern without '*' must equal a whole 1023-byte piece of a file; "
                 "to find a word use \"*%s*\"\n",
                 arguments.pattern);
  }
  return kExitFailure;
}

}  // namespace
}  // namespace qx::storeadm
