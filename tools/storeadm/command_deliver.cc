// storeadm deliver: delivers message files into a folder as the server's
// delivery agent does: each file is copied in under a new message file
// name, all of them are indexed with one transaction, and a delivery flag
// file tells the mailbox's readers that new mail arrived.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command.h"
#include "store_names_check.h"
#include "frame/store_paths.h"
#include "frame/utilities.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "qxstore.h"

namespace qx::storeadm {
namespace {

// How often a transaction that finds the folder's block taken is retried,
// a tenth of a second apart, before the folder's change flag is relied on.
constexpr int kTransactionAttempts = 50;
constexpr uint32_t kRetryMilliseconds = 100;
constexpr uint32_t kErrorFileExists = 80;

int RunDeliver(int argc, char** argv);

const Command kDeliver{"deliver", "<postoffice> <mailbox> <folder> <message file>...",
                       "copies message files into a folder and indexes them", RunDeliver};
const CommandRegistration kRegisterDeliver(kDeliver);

// The number of the newest delivery flag "_<N>.NEW" in the mailbox, 0 when
// there is none.
long NewestDeliveryFlag(const std::string& mailbox_dir) {
  long newest = 0;
  for (platform::Listing listing = platform::Listing::Open(mailbox_dir + "\\_*.NEW");
       listing.valid(); listing.Next()) {
    newest = std::max(newest, std::strtol(listing.current().name.c_str() + 1, nullptr, 10));
  }
  return newest;
}

// Raises the next delivery flag; a flag raised by another delivery at the
// same moment takes the number, so the next one is tried.
bool RaiseDeliveryFlag(const std::string& mailbox_dir) {
  for (long number = NewestDeliveryFlag(mailbox_dir) + 1;; ++number) {
    const std::string path = mailbox_dir + "\\_" + std::to_string(number) + ".NEW";
    platform::File flag =
        platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateNew);
    if (flag.valid()) return true;
    if (platform::GetLastError() != kErrorFileExists) return false;
  }
}

// Copies each file into the folder under a new name; the names, or an
// empty list when a copy failed (the copies made are removed again).
std::vector<std::string> CopyIntoFolder(const std::string& folder_dir, char** files, int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[64];
    NewMessageFileName(name, sizeof name);
    if (!platform::CopyFile(files[i], folder_dir + "\\" + name, true)) {
      std::fprintf(stderr, "storeadm: cannot copy %s into %s\n", files[i], folder_dir.c_str());
      for (const std::string& copied : names) platform::DeleteFile(folder_dir + "\\" + copied);
      return {};
    }
    names.push_back(name);
  }
  return names;
}

bool IndexFiles(const char* postoffice, const char* mailbox, const char* folder,
                const std::string& list) {
  for (int attempt = 0; attempt < kTransactionAttempts; ++attempt) {
    if (Direct_StoreIndex_InsertItem(postoffice, mailbox, folder, list.c_str()) == 1) return true;
    platform::Sleep(kRetryMilliseconds);
  }
  return false;
}

int RunDeliver(int argc, char** argv) {
  if (argc < 5) return UsageError(kDeliver, "expected a folder and at least one message file");
  const char* postoffice = argv[1];
  const char* mailbox = argv[2];
  const char* folder = argv[3];
  if (!NamesStayInStore({{"postoffice", postoffice},
                         {"mailbox", mailbox},
                         {"folder", folder, NameKind::kFolder}})) {
    return kExitFailure;
  }
  char folder_dir[kStorePathSize];
  if (BuildIndexFolderDirectory(folder_dir, sizeof folder_dir, postoffice, mailbox, folder) == 0) {
    return LeadsOutOfStore("the folder");
  }
  if (!platform::IsDirectory(folder_dir)) {
    std::fprintf(stderr, "storeadm: no folder directory %s\n", folder_dir);
    return kExitFailure;
  }

  const std::vector<std::string> names = CopyIntoFolder(folder_dir, argv + 4, argc - 4);
  if (names.empty()) return kExitFailure;
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ",") + name;

  const bool indexed = IndexFiles(postoffice, mailbox, folder, list);
  const std::string mailbox_dir = PostofficeMailboxDirectory(postoffice, mailbox);
  if (!mailbox_dir.empty()) RaiseDeliveryFlag(mailbox_dir);
  for (const std::string& name : names) std::printf("%s\n", name.c_str());
  if (!indexed) {
    std::fprintf(stderr,
                 "storeadm: the folder's index stayed busy; the folder is marked changed and is "
                 "indexed when next opened\n");
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
