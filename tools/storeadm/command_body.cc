// storeadm body: the body, HTML body or calendar part of an item's message
// file, as the MIME reader gives it (no transfer decoding, at most 32,767
// bytes).

#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "folder_argument.h"
#include "store_objects.h"
#include "report.h"
#include "item_values.h"
#include "json_text.h"
#include "message/item_file_name.h"
#include "frame/store_paths.h"
#include "message/mime_reader.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunBody(int argc, char** argv);

const Command kBody{"body",
                    "<postoffice> <mailbox> <folder> <identifier> [--html | --calendar] [--json]",
                    "prints the body (or HTML body, or calendar part) of an item's message file",
                    RunBody, nullptr, "--html --calendar --json"};
const CommandRegistration kRegisterBody(kBody);

int Fail(const std::string& message) {
  ReportError("%s\n", message.c_str());
  StoreFolder_FindClose();
  return kExitFailure;
}

int RunBody(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 5 && argc != 6) return UsageError(kBody, "expected a folder and an identifier");
  FolderArgument folder_argument;
  if (argc > 3) {
    if (int usage = TakeFolderArgument(kBody, argv, 3, &folder_argument); usage != kExitOk) return usage;
  }
  const char* property = "PR_BODY";
  if (argc == 6) {
    if (std::strcmp(argv[5], "--html") == 0) {
      property = "PR_BODY_HTML";
    } else if (std::strcmp(argv[5], "--calendar") == 0) {
      property = "PR_BNP_vCalendar";
    } else {
      return UsageError(kBody, (std::string("unexpected argument ") + argv[5]).c_str());
    }
  }
  const std::string identifier = argv[4];
  if (!RequireMailbox(argv[1], argv[2])) return kExitFailure;
  if (StoreFolder_Open(argv[1], argv[2], argv[3], 0, 1) == 0) {
    return Fail(std::string("folder ") + argv[3] + " cannot be opened");
  }
  if (!IsPlainFileName(identifier) || StoreFolder_SelectItem(identifier.c_str()) == 0) {
    return Fail("no item " + identifier + " in folder " + argv[3]);
  }
  const std::string path = JoinStorePath(ReadShownProperty("QX_FOLDER_PATH", 0).text, identifier);
  if (platform::GetFileSize(path) < 0) return Fail("the file of item " + identifier + " is missing");
  std::string value;
  ReadContentValue(path, property, &value);
  if (json) {
    PrintJsonArray({JsonObject()
                        .Add("identifier", identifier)
                        .Add("property", property)
                        .Add("text", value)});
  } else {
    std::fwrite(value.data(), 1, value.size(), stdout);
  }
  StoreFolder_FindClose();
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
