// storeadm item: reads or writes one property of one item through the
// store-item interface; a write is saved as StoreFolder_Save saves it.

#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "folder_argument.h"
#include "json_text.h"
#include "store_objects.h"
#include "report.h"
#include "frame/thread_record.h"
#include "item_values.h"
#include "qxstore.h"
#include "store/item_properties.h"

namespace qx::storeadm {
namespace {

int RunItem(int argc, char** argv);

const Command kItem{"item",
                    "get|set <postoffice> <mailbox> <folder> <identifier> <property> [<value>] "
                    "[--type N] [--json]",
                    "reads or writes one property of an item through the store-item interface",
                    RunItem, nullptr, "--type= --json"};
const CommandRegistration kRegisterItem(kItem);

const char* WriteFailure(PropertyWrite result) {
  switch (result) {
    case PropertyWrite::kUnknownProperty: return "is not a property of this folder type";
    case PropertyWrite::kReadOnly: return "cannot be written";
    case PropertyWrite::kBadValue: return "cannot hold that value";
    case PropertyWrite::kNoItem: return "has no item to be written to";
    case PropertyWrite::kFailed: return "could not be written into the item's file";
    case PropertyWrite::kWritten: break;
  }
  return nullptr;
}

int Fail(const std::string& message) {
  ReportError("%s\n", message.c_str());
  StoreFolder_FindClose();
  return kExitFailure;
}

int RunItem(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  int positional = argc;
  uint32_t folder_type = 0;
  if (argc >= 2 && std::strcmp(argv[argc - 2], "--type") == 0) {
    const std::optional<uint32_t> type = ParseFolderType(argv[argc - 1]);
    if (!type) return UsageError(kItem, "the folder type is a number from 0 to 5");
    folder_type = *type;
    positional = argc - 2;
  }
  if (positional < 2) return UsageError(kItem, "expected get or set");
  const bool set = std::strcmp(argv[1], "set") == 0;
  if (!set && std::strcmp(argv[1], "get") != 0) return UsageError(kItem, "expected get or set");
  if (positional != (set ? 8 : 7)) {
    return UsageError(kItem, set ? "set takes a folder, an identifier, a property and a value"
                                 : "get takes a folder, an identifier and a property");
  }
  FolderArgument folder_argument;
  if (argc > 4) {
    if (int usage = TakeFolderArgument(kItem, argv, 4, &folder_argument); usage != kExitOk) return usage;
  }
  const char* identifier = argv[5];
  const std::string property = argv[6];

  // A saved appointment's provider entry would go to the host while its
  // message is written here.
  if (set && !CallsRunHere()) return Fail("item set runs on this machine only");
  if (!RequireMailbox(argv[2], argv[3])) return kExitFailure;
  if (StoreFolder_Open(argv[2], argv[3], argv[4], folder_type, 1) == 0) {
    return Fail(std::string("folder ") + argv[4] + " cannot be opened as folder type " +
                std::to_string(folder_type));
  }
  if (StoreFolder_SelectItem(identifier) == 0) {
    return Fail(std::string("no item ") + identifier + " in folder " + argv[4]);
  }
  if (set) {
    std::string reason;
    const uint32_t caller_type = StoreItemProperty_GetType(property.c_str(), folder_type);
    const std::optional<std::string> value = ParseCallerValue(caller_type, argv[7], &reason);
    if (!value) return Fail(property + ": " + reason);
    const PropertyWrite written = SetRecordProperty(*TLSStoreIndex_Get(), "", property, value->data());
    if (const char* failure = WriteFailure(written)) return Fail(property + " " + failure);
    StoreFolder_Save(0);
  }
  const ShownValue shown = ReadShownProperty(property, folder_type);
  if (!shown.found) return Fail(property + " not found for " + identifier);
  if (json) {
    JsonObject object;
    object.Add("item", identifier).Add("property", property);
    object.AddRaw("value", shown.is_number ? shown.text : JsonString(shown.text));
    PrintJsonArray({object});
  } else {
    std::printf("%s\n", shown.text.c_str());
  }
  StoreFolder_FindClose();
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
