#include "store_walk.h"

#include <algorithm>

#include "frame/settings.h"
#include "frame/store_paths.h"
#include "platform/file.h"
#include "platform/listing.h"

namespace qx::storeadm {
namespace {

bool IsStoreFileName(const std::string& name) {
  return name.empty() || name[0] == '_' || name[0] == '.';
}

std::vector<std::string> Subdirectories(const std::string& directory) {
  std::vector<std::string> names;
  for (platform::Listing listing = platform::Listing::Open(directory + "\\*.*"); listing.valid();
       listing.Next()) {
    const platform::FindData& found = listing.current();
    if ((found.attributes & platform::kAttributeDirectory) != 0 && !IsStoreFileName(found.name)) {
      names.push_back(found.name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

void CollectFolders(const std::string& directory, const std::string& name,
                    std::vector<FolderLine>* folders) {
  for (platform::Listing listing = platform::Listing::Open(directory + "\\*.*"); listing.valid();
       listing.Next()) {
    const platform::FindData& found = listing.current();
    if ((found.attributes & platform::kAttributeDirectory) == 0 || IsStoreFileName(found.name)) {
      continue;
    }
    const std::string child_name = name.empty() ? found.name : name + "/" + found.name;
    const std::string child_directory = JoinStorePath(directory, found.name);
    folders->push_back({child_name, child_directory});
    CollectFolders(child_directory, child_name, folders);
  }
}

std::vector<std::string> ListMailboxes(const char* postoffice) {
  char directory[kStorePathSize];
  if (GetPostofficeDirectory(directory, sizeof directory, postoffice) == 0) return {};
  return Subdirectories(JoinStorePath(directory, "MAILROOT"));
}

std::vector<std::string> ListPostoffices() { return Subdirectories(Settings().mail_root); }

}  // namespace qx::storeadm
