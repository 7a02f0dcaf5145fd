// storeadm index: opens a folder's index as the server's services open it
// (rescanning the folder when it is marked changed), or rebuilds it from
// the message files, and prints the folder's status counts.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "folder_argument.h"
#include "indexed_messages.h"
#include "json_text.h"
#include "store_objects.h"
#include "report.h"
#include "store_names_check.h"
#include "folder/folder_files.h"
#include "index/folder_status.h"
#include "index/index_open.h"
#include "index/index_scan.h"
#include "index/store_index.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunIndex(int argc, char** argv);

const Command kIndex{"index", "<postoffice> <mailbox> <folder> [--rebuild [--force]] [--json]",
                     "opens (or rebuilds) a folder's index and prints its status counts", RunIndex, nullptr, "--rebuild --force --json"};
const CommandRegistration kRegisterIndex(kIndex);

bool FitsIndexNames(char** names) {
  for (int i = 0; i < 3; ++i) {
    if (std::strlen(names[i]) >= sizeof(StoreIndex{}.postoffice)) return false;
  }
  return true;
}

const char* OpenedHow(uint32_t result) {
  switch (result) {
    case kOpenReused: return "reused";
    case kOpenCounted: return "counted before, unchanged";
    default: return "loaded";
  }
}

void PrintStatus(const StoreIndex& index, uint32_t result, const uint32_t* status, bool json) {
  const char* how = OpenedHow(result);
  const std::string folder = ShownPath(index.folder_directory);
  if (json) {
    std::printf("[{\"folder\": %s, \"index\": \"%s\", \"index_bytes\": %u, \"messages\": %u, "
                "\"seen\": %u, \"unseen\": %u, \"recent\": %u, \"answered\": %u, "
                "\"flagged\": %u, \"deleted\": %u, \"last_uid\": %u}]\n",
                JsonString(folder).c_str(), how, index.index_file_size, status[kStatusEntries],
                status[kStatusSeen], status[kStatusEntries] - status[kStatusSeen],
                status[kStatusRecent], status[kStatusAnswered], status[kStatusFlagged],
                status[kStatusDeleted], status[kStatusLastUid]);
    return;
  }
  std::printf("folder:    %s\n", folder.c_str());
  std::printf("index:     %s (%u bytes)\n", how, index.index_file_size);
  std::printf("messages:  %u\n", status[kStatusEntries]);
  std::printf("seen:      %u\n", status[kStatusSeen]);
  std::printf("unseen:    %u\n", status[kStatusEntries] - status[kStatusSeen]);
  std::printf("recent:    %u\n", status[kStatusRecent]);
  std::printf("answered:  %u\n", status[kStatusAnswered]);
  std::printf("flagged:   %u\n", status[kStatusFlagged]);
  std::printf("deleted:   %u\n", status[kStatusDeleted]);
  std::printf("last UID:  %u\n", status[kStatusLastUid]);
}

// What a rebuild from the message files loses: the flags only the index
// keeps and the UIDs it handed out. Empty when there is nothing to lose.
std::string WhatRebuildDrops(const std::string& folder_dir) {
  std::optional<std::vector<IndexedMessage>> messages = ReadIndexedMessages(folder_dir);
  if (!messages || messages->empty()) return "";
  size_t flagged = 0;
  for (const IndexedMessage& message : *messages) flagged += message.flags.empty() ? 0 : 1;
  return std::to_string(flagged) + " of " + std::to_string(messages->size()) +
         " messages carry flags kept only in the index, and the UIDs up to " +
         std::to_string(ReadLastUid(folder_dir)) + " are handed out anew";
}

int RunIndex(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  const bool force = TakeOption(&argc, argv, "--force");
  const bool rebuild = TakeOption(&argc, argv, "--rebuild");
  if (argc != 4) return UsageError(kIndex, "expected a postoffice, a mailbox and a folder");
  if (force && !rebuild) return UsageError(kIndex, "--force goes with --rebuild");
  FolderArgument folder_argument;
  if (argc > 3) {
    if (int usage = TakeFolderArgument(kIndex, argv, 3, &folder_argument); usage != kExitOk) return usage;
  }
  if (!FitsIndexNames(argv + 1)) return UsageError(kIndex, "a name is too long");
  if (!NamesStayInStore({{"postoffice", argv[1]},
                         {"mailbox", argv[2]},
                         {"folder", argv[3], NameKind::kFolder}})) {
    return kExitFailure;
  }
  std::string folder_dir;
  if (!RequireFolder(argv[1], argv[2], argv[3], &folder_dir)) return kExitFailure;
  if (rebuild && !force) {
    const std::string drops = WhatRebuildDrops(folder_dir);
    if (!drops.empty()) {
      return Fail("--rebuild would drop what the index holds: %s; storeadm resync keeps it, "
                  "--rebuild --force drops it",
                  drops.c_str());
    }
  }

  StoreIndex index;
  InitStoreIndex(&index);
  CreateStoreIndexMutex(&index);
  SetStoreIndexNames(&index, argv[1], argv[2], argv[3]);
  index.folder_type = FolderTypeFromName(index.folder);
  if (SetStoreIndexPaths(&index) == 0) {
    ReleaseStoreIndex(&index);
    return LeadsOutOfStore("the folder");
  }

  uint32_t status[kFolderStatusFields] = {};
  uint32_t result = kOpenLoaded;
  if (rebuild) {
    // The scan counts the entries it has just written for "_FOLDER.DAT":
    // those counts are printed, rather than read back by loading the index.
    if (RescanFolderIndex(&index, true, false, kNoSocket, kScanDefault) == 0) {
      const std::string reason = LastErrorText();
      ReleaseStoreIndex(&index);
      return Fail("could not rebuild the index of %s (%s; is the folder busy?)",
                  ShownPath(folder_dir).c_str(), reason.c_str());
    }
    std::copy(std::begin(index.folder_status), std::end(index.folder_status), status);
    const int64_t size = platform::GetFileSize(FolderFilePath(index.folder_directory, kIndexFileName));
    if (size < 0) result = kOpenFailed;
    index.index_file_size = size < 0 ? 0 : static_cast<uint32_t>(size);
  } else {
    // A plain open answers from the derived cache when the folder is unchanged.
    result = OpenIndexForStatus(&index, FolderStatusRecord(status));
  }
  int exit_code = kExitOk;
  if (result == kOpenFailed) {
    exit_code = Fail("could not open the index of %s", ShownPath(folder_dir).c_str());
  } else {
    PrintStatus(index, result, status, json);
  }
  ReleaseStoreIndex(&index);
  return exit_code;
}

}  // namespace
}  // namespace qx::storeadm
