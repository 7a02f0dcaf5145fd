// storeadm expunge: removes the messages of a folder that are flagged
// \DELETED, files and index entries together, under the folder's block so
// that no delivery or flag change slips in between.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "command.h"
#include "folder_argument.h"
#include "json_text.h"
#include "store_objects.h"
#include "report.h"
#include "store_names_check.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "folder/folder_files.h"
#include "frame/store_names.h"
#include "index/index_transaction.h"
#include "index/item_remove.h"
#include "index/store_index.h"
#include "message/flag_words.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "folder/folder_size_cache.h"

namespace qx::storeadm {
namespace {

constexpr uint32_t kErrorFileNotFound = 2;

int RunExpunge(int argc, char** argv);

const Command kExpunge{"expunge", "<postoffice> <mailbox> <folder> [--json]",
                       "removes the messages flagged \\DELETED and their index entries",
                       RunExpunge, nullptr, "--json"};
const CommandRegistration kRegisterExpunge(kExpunge);

std::vector<std::string> DeletedEntries(const StoreIndex* index) {
  std::vector<std::string> ids;
  pugi::xml_node root = HeldDocument(index).DocumentElement();
  for (pugi::xml_node entry : root.children(kEntryElement)) {
    const char* id = AttributeValue(entry, kIdAttribute);
    if (id != nullptr && ListHasFlagWord(GetChildText(entry, kFlagStatusElement), kFlagDeleted)) {
      ids.push_back(id);
    }
  }
  return ids;
}

struct Expunged {
  size_t messages = 0;
  int64_t bytes = 0;
};

// Deletes each file and removes its entry; a file that cannot be deleted
// keeps its entry.
Expunged ExpungeEntries(StoreIndex* index, const std::vector<std::string>& ids,
                        std::vector<std::string>* removed_ids) {
  Expunged removed;
  for (const std::string& id : ids) {
    // An index names its files; an entry naming anything else is left alone.
    if (!IsStoreName(id.c_str())) {
      ReportError("the entry \"%s\" leads out of the folder\n", id.c_str());
      continue;
    }
    const std::string path = FolderFilePath(index->folder_directory, id);
    if (!platform::DeleteFile(path) && platform::GetLastError() != kErrorFileNotFound) {
      ReportError("cannot delete %s (error %u)\n", path.c_str(),
                   platform::GetLastError());
      continue;
    }
    uint32_t size = 0;
    if (RemoveIndexEntry(index, id, &size) == 1) {
      removed.bytes += size;
      ++removed.messages;
    }
    removed_ids->push_back(id);
  }
  return removed;
}

int RunExpunge(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 4) return UsageError(kExpunge, "expected a postoffice, a mailbox and a folder");
  FolderArgument folder_argument;
  if (argc > 3) {
    if (int usage = TakeFolderArgument(kExpunge, argv, 3, &folder_argument); usage != kExitOk) return usage;
  }
  if (!NamesStayInStore({{"postoffice", argv[1]},
                         {"mailbox", argv[2]},
                         {"folder", argv[3], NameKind::kFolder}})) {
    return kExitFailure;
  }
  std::string folder_dir;
  if (!RequireFolder(argv[1], argv[2], argv[3], &folder_dir)) return kExitFailure;
  StoreIndex index;
  InitStoreIndex(&index);
  if (OpenIndexForTransaction(&index, argv[1], argv[2], argv[3]) != 1) {
    ReportError("the index of %s is busy", ShownPath(folder_dir).c_str());
    ReleaseStoreIndex(&index);
    return kExitFailure;
  }
  const std::vector<std::string> ids = DeletedEntries(&index);
  std::vector<std::string> removed_ids;
  const Expunged removed = ExpungeEntries(&index, ids, &removed_ids);
  SaveAndCloseIndex(&index, removed.messages > 0);
  ReleaseStoreIndex(&index);
  const int64_t change = -std::min<int64_t>(removed.bytes, std::numeric_limits<int32_t>::max());
  AdjustMailboxSize(argv[1], argv[2], static_cast<int32_t>(change), argv[3]);
  if (json) {
    std::vector<JsonObject> objects;
    for (const std::string& id : removed_ids) objects.push_back(JsonObject().Add("file", id));
    PrintJsonArray(objects);
  } else {
    for (const std::string& id : removed_ids) std::printf("%s\n", id.c_str());
    std::printf("%zu message(s) expunged\n", removed.messages);
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
