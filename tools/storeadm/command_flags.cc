// storeadm flags: changes the flags of one indexed message with a flag
// change text ("+\SEEN", "-\RECENT", or a plain list that replaces them),
// through the same transaction other server programs use.

#include <cstdio>
#include <string>

#include "command.h"
#include "store_names_check.h"
#include "frame/store_paths.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "folder/folder_files.h"
#include "platform/clock.h"
#include "index/index_stamp.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

int RunFlags(int argc, char** argv);

const Command kFlags{"flags", "<postoffice> <mailbox> <folder> <file> <change text>",
                     "changes a message's flags (\"+\\SEEN\", \"-\\RECENT\", \"\\ANSWERED\")",
                     RunFlags};
const CommandRegistration kRegisterFlags(kFlags);

// The entry's FLAGSTATUS in the folder's index file; false when the file
// has no entry for it.
bool IndexedFlags(const char* folder_dir, const char* file, std::string* flags) {
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document || !LoadDocumentFile(document, FolderFilePath(folder_dir, kIndexFileName))) {
    return false;
  }
  pugi::xml_node entry = FindItemElement(document, file);
  if (!entry) return false;
  *flags = GetChildText(entry, kFlagStatusElement);
  return true;
}

int RunFlags(int argc, char** argv) {
  if (argc != 6) return UsageError(kFlags, "expected a folder, a file and a change text");
  if (!NamesStayInStore({{"postoffice", argv[1]},
                         {"mailbox", argv[2]},
                         {"folder", argv[3], NameKind::kFolder},
                         {"file name", argv[4], NameKind::kFile}})) {
    return kExitFailure;
  }
  char folder_dir[kStorePathSize];
  if (BuildIndexFolderDirectory(folder_dir, sizeof folder_dir, argv[1], argv[2], argv[3]) == 0) {
    return LeadsOutOfStore("the folder");
  }
  std::string flags;
  if (!IndexedFlags(folder_dir, argv[4], &flags)) {
    std::fprintf(stderr, "storeadm: %s is not indexed in %s\n", argv[4], folder_dir);
    return kExitFailure;
  }
  const bool updated = RetryWhileIndexBusy([argv] {
    return Direct_StoreIndex_UpdateItem(argv[1], argv[2], argv[3], argv[4], argv[5]) == 1;
  });
  if (!updated) {
    std::fprintf(stderr, "storeadm: the folder's index stayed busy\n");
    return kExitFailure;
  }
  IndexedFlags(folder_dir, argv[4], &flags);
  std::printf("%s %s\n", argv[4], flags.c_str());
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
