// storeadm items: walks a folder through the store-item interface, as the
// server's services do, and prints the chosen properties of each item.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "item_values.h"
#include "json_text.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

struct Options {
  const char* postoffice = nullptr;
  const char* mailbox = nullptr;
  const char* folder = nullptr;
  uint32_t folder_type = 0;
  std::vector<std::string> properties;
  bool json = false;
};

int RunItems(int argc, char** argv);

const Command kItems{
    "items", "<postoffice> <mailbox> <folder> [--type N] [--props NAME,...] [--json]",
    "walks a folder's items through the store-item interface and prints their properties",
    RunItems};
const CommandRegistration kRegisterItems(kItems);

std::vector<std::string> DefaultProperties(uint32_t folder_type) {
  switch (folder_type) {
    case 0: return {"QX_ITEM_ID", "PR_QX_MESSAGEDATE", "PR_QX_FROM", "PR_SUBJECT", "PR_QX_FLAGSTATUS"};
    case 3: return {"QX_ITEM_ID", "PR_SUBJECT", "PR_BNP_DueDate", "PR_BNP_PercentComplete"};
    case 4: return {"QX_ITEM_ID", "PR_MESSAGE_SIZE", "PR_LAST_MODIFIED_DATE"};
    default: return {"QX_ITEM_ID", "PR_SUBJECT"};
  }
}

// Returns false with a usage message printed when the arguments are wrong.
bool ParseOptions(int argc, char** argv, Options* options, int* exit_code) {
  if (argc < 4) {
    *exit_code = UsageError(kItems, "expected a postoffice, a mailbox and a folder");
    return false;
  }
  options->postoffice = argv[1];
  options->mailbox = argv[2];
  options->folder = argv[3];
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--type") == 0 && i + 1 < argc) {
      const std::optional<uint32_t> type = ParseFolderType(argv[++i]);
      if (!type) {
        *exit_code = UsageError(kItems, "the folder type is a number from 0 to 5");
        return false;
      }
      options->folder_type = *type;
    } else if (std::strcmp(argv[i], "--props") == 0 && i + 1 < argc) {
      options->properties = SplitNames(argv[++i]);
    } else if (std::strcmp(argv[i], "--json") == 0) {
      options->json = true;
    } else {
      *exit_code = UsageError(kItems, (std::string("unexpected argument ") + argv[i]).c_str());
      return false;
    }
  }
  if (options->properties.empty()) options->properties = DefaultProperties(options->folder_type);
  return true;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

void PrintLine(const std::vector<ShownValue>& values) {
  std::string line;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) line += '\t';
    line += values[i].found ? OneLine(values[i].text) : "-";
  }
  std::printf("%s\n", line.c_str());
}

std::string JsonObject(const Options& options, const std::vector<ShownValue>& values) {
  std::string object = "{";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) object += ", ";
    object += JsonString(options.properties[i]) + ": ";
    const ShownValue& value = values[i];
    object += !value.found ? "null" : value.is_number ? value.text : JsonString(value.text);
  }
  return object + "}";
}

int RunItems(int argc, char** argv) {
  Options options;
  int exit_code = kExitOk;
  if (!ParseOptions(argc, argv, &options, &exit_code)) return exit_code;
  if (StoreFolder_Open(options.postoffice, options.mailbox, options.folder, options.folder_type, 1) ==
      0) {
    std::fprintf(stderr, "storeadm: folder %s of %s/%s cannot be opened as folder type %u\n",
                 options.folder, options.postoffice, options.mailbox, options.folder_type);
    return kExitFailure;
  }
  size_t count = 0;
  if (options.json) std::printf("[");
  for (uint32_t found = StoreFolder_FindFirstItem(); found != 0; found = StoreFolder_FindNextItem()) {
    std::vector<ShownValue> values;
    for (const std::string& name : options.properties) {
      values.push_back(ReadShownProperty(name, options.folder_type));
    }
    if (options.json) {
      std::printf("%s\n  %s", count == 0 ? "" : ",", JsonObject(options, values).c_str());
    } else {
      PrintLine(values);
    }
    ++count;
  }
  if (options.json) std::printf("%s]\n", count == 0 ? "" : "\n");
  StoreFolder_FindClose();
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
