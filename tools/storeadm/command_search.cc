// storeadm search: the store's content search over a directory tree, run
// through the same calls the server's services use, one matching path a
// line.

#include <cstdio>
#include <cstring>

#include "command.h"
#include <vector>
#include <string>
#include "store_objects.h"
#include "json_text.h"
#include "report.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunSearch(int argc, char** argv);

const Command kSearch{
    "search", "<directory> <pattern> [--recursive] [--case] [--json]",
    "lists the files under a directory holding a pattern (\"*word*\"); exit 1 when none does",
    RunSearch, nullptr, "--recursive --case --json"};
const CommandRegistration kRegisterSearch(kSearch);

struct SearchArguments {
  const char* directory = nullptr;
  const char* pattern = nullptr;
  bool recursive = false;
  bool case_sensitive = false;
  bool json = false;
};

// Null on success, else what is wrong with the arguments.
const char* ParseArguments(int argc, char** argv, SearchArguments* parsed) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "--recursive") == 0) {
      parsed->recursive = true;
    } else if (std::strcmp(argument, "--json") == 0) {
      parsed->json = true;
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

// The matching files, as paths a shell takes.
std::vector<std::string> Matches() {
  std::vector<std::string> paths;
  for (uint32_t found = StoreItem_FirstMatch(); found != 0; found = StoreItem_NextMatch()) {
    char* name = nullptr;
    uint32_t length = 0;
    StoreItem_GetMatchProp("Filename", &name, &length);
    paths.push_back(ShownPath(std::string(name != nullptr ? name : "", length)));
  }
  return paths;
}

int RunSearch(int argc, char** argv) {
  SearchArguments arguments;
  if (const char* problem = ParseArguments(argc, argv, &arguments)) {
    return UsageError(kSearch, problem);
  }
  if (!platform::IsDirectory(arguments.directory)) {
    return Fail("%s is not a directory", arguments.directory);
  }
  MsgSearch_Init();
  SetParameters(arguments);
  const std::vector<std::string> paths = Matches();
  MsgSearch_UnInit();
  if (paths.empty()) {
    if (std::strchr(arguments.pattern, '*') != nullptr) {
      return Fail("no file matches %s", arguments.pattern);
    }
    return Fail("no file matches %s (a pattern without '*' must equal a whole 1023-byte piece "
                "of a file; to find a word use \"*%s*\")",
                arguments.pattern, arguments.pattern);
  }
  if (arguments.json) {
    std::vector<JsonObject> objects;
    for (const std::string& path : paths) objects.push_back(JsonObject().Add("file", path));
    PrintJsonArray(objects);
  } else {
    for (const std::string& path : paths) std::printf("%s\n", path.c_str());
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
