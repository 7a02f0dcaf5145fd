// storeadm index: opens a folder's index as the server's services open it
// (rescanning the folder when it is marked changed), or rebuilds it from
// the message files, and prints the folder's status counts.

#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "store_names_check.h"
#include "index/folder_status.h"
#include "index/index_open.h"
#include "index/index_scan.h"
#include "index/store_index.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunIndex(int argc, char** argv);

const Command kIndex{"index", "<postoffice> <mailbox> <folder> [--rebuild]",
                     "opens (or rebuilds) a folder's index and prints its status counts", RunIndex};
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

void PrintStatus(const StoreIndex& index, uint32_t result, const uint32_t* status) {
  std::printf("folder:    %s\n", index.folder_directory);
  std::printf("index:     %s (%u bytes)\n", OpenedHow(result), index.index_file_size);
  std::printf("messages:  %u\n", status[kStatusEntries]);
  std::printf("seen:      %u\n", status[kStatusSeen]);
  std::printf("unseen:    %u\n", status[kStatusEntries] - status[kStatusSeen]);
  std::printf("recent:    %u\n", status[kStatusRecent]);
  std::printf("answered:  %u\n", status[kStatusAnswered]);
  std::printf("flagged:   %u\n", status[kStatusFlagged]);
  std::printf("deleted:   %u\n", status[kStatusDeleted]);
  std::printf("last UID:  %u\n", status[kStatusLastUid]);
}

int RunIndex(int argc, char** argv) {
  const bool rebuild = argc == 5 && std::strcmp(argv[4], "--rebuild") == 0;
  if (argc != 4 && !rebuild) return UsageError(kIndex, "expected a postoffice, a mailbox and a folder");
  if (!FitsIndexNames(argv + 1)) return UsageError(kIndex, "a name is too long");
  if (!NamesStayInStore({{"postoffice", argv[1]},
                         {"mailbox", argv[2]},
                         {"folder", argv[3], NameKind::kFolder}})) {
    return kExitFailure;
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

  if (rebuild && ScanFolders(index.folder_directory, true, false) == 0) {
    std::fprintf(stderr, "storeadm: could not rebuild the index of %s (is the folder busy?)\n",
                 index.folder_directory);
    ReleaseStoreIndex(&index);
    return kExitFailure;
  }
  // A plain open answers from the derived cache when the folder is unchanged.
  uint32_t status[kFolderStatusFields] = {};
  const uint32_t result = rebuild ? OpenStoreIndex(&index, kOpenLoad)
                                  : OpenIndexForStatus(&index, FolderStatusRecord(status));
  if (rebuild && result != kOpenFailed) ComputeFolderStatus(HeldDocument(&index), FolderStatusRecord(status));
  int exit_code = kExitOk;
  if (result == kOpenFailed) {
    std::fprintf(stderr, "storeadm: could not open the index of %s\n", index.folder_directory);
    exit_code = kExitFailure;
  } else {
    PrintStatus(index, result, status);
  }
  ReleaseStoreIndex(&index);
  return exit_code;
}

}  // namespace
}  // namespace qx::storeadm
