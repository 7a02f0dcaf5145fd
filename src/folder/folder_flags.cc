#include "folder/folder_flags.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "frame/store_paths.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/path_resolver.h"

namespace qx {

namespace {

bool FindFlagFiles(const std::string& directory, bool ends_with_separator, FolderFlag kind,
                   bool consume) {
  if (kind == FolderFlag::kIndexCheck) return false;
  std::string pattern = FolderFlagPath(directory.c_str(), kind, ends_with_separator);
  if (pattern.empty()) return false;
  if (kind != FolderFlag::kAnyDirty) {
    // One flag name, usually absent: checked on every open of the folder.
    const platform::ResolvedPath flag = platform::ResolveUsuallyMissing(pattern);
    if (!flag.exists) return false;
    if (consume) platform::DeleteFile(flag.native);
    return true;
  }
  bool found = false;
  for (platform::Listing flags = platform::Listing::Open(pattern); flags.valid(); flags.Next()) {
    found = true;
    if (!consume) break;
    // The name as stored (the flag may have been written in another case),
    // joined to the directory as FolderFlagPath joined the pattern.
    const Separator separator = ends_with_separator ? Separator::kPresent : Separator::kAdd;
    platform::DeleteFile(JoinStorePath(directory, flags.current().name, separator));
  }
  return found;
}

bool IndexFileExists(const std::string& directory, bool ends_with_separator) {
  std::string index = FolderFlagPath(directory.c_str(), FolderFlag::kIndexCheck,
                                     ends_with_separator);
  platform::FindData found;
  return !index.empty() && platform::FindFirst(index, &found);
}

// The N of "_N.NEW": the decimal text after the "_" up to the first ".".
int32_t DeliveryNumber(const std::string& name) {
  std::string digits = name.substr(1, name.find('.') - 1);
  return static_cast<int32_t>(std::atol(digits.c_str()));
}

}  // namespace

uint32_t CheckFolderFlags(std::string_view folder_directory, bool directory_ends_with_separator,
                          FolderFlag kind, bool consume) {
  std::string directory(folder_directory);
  if (FindFlagFiles(directory, directory_ends_with_separator, kind, consume)) return 1;
  // A folder that was never indexed must be scanned, flag or no flag.
  return IndexFileExists(directory, directory_ends_with_separator) ? 0 : 1;
}

int32_t ConsumeDeliveryFlags(std::string_view mailbox_directory) {
  std::string directory(mailbox_directory);
  std::string pattern = DeliveryFlagPattern(directory.c_str());
  if (pattern.empty()) return 0;
  int32_t highest = 0;
  std::string highest_path;
  for (platform::Listing flags = platform::Listing::Open(pattern); flags.valid(); flags.Next()) {
    std::string path = JoinStorePath(directory, flags.current().name);
    int32_t number = DeliveryNumber(flags.current().name);
    if (number <= highest) {
      platform::DeleteFile(path);
      continue;
    }
    if (highest > 0) platform::DeleteFile(highest_path);
    highest = number;
    highest_path = path;
  }
  if (highest > 0) platform::DeleteFile(highest_path);
  return highest;
}

int32_t NewestDeliveryFlag(std::string_view mailbox_directory) {
  std::string pattern = DeliveryFlagPattern(std::string(mailbox_directory).c_str());
  if (pattern.empty()) return 0;
  int32_t newest = 0;
  for (platform::Listing flags = platform::Listing::Open(pattern); flags.valid(); flags.Next()) {
    newest = std::max(newest, DeliveryNumber(flags.current().name));
  }
  return newest;
}

bool RaiseDeliveryFlag(std::string_view mailbox_directory) {
  // No directory (names that lead out of the store) raises no flag at all.
  if (mailbox_directory.empty()) return false;
  const std::string directory(mailbox_directory);
  for (int32_t number = NewestDeliveryFlag(directory) + 1; number > 0; ++number) {
    const std::string path = DeliveryFlagPath(directory.c_str(), number);
    if (path.empty()) return false;
    platform::File flag =
        platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateNew);
    if (flag.valid()) return true;
    if (platform::GetLastError() != platform::kErrorFileExists) return false;
  }
  return false;
}

int32_t ConsumeDeliveryFlags(const char* postoffice, const char* mailbox) {
  std::string directory = MailboxDirectory(postoffice, mailbox);
  if (directory.empty()) return 0;
  return ConsumeDeliveryFlags(directory);
}

uint32_t MarkFolderChanged(const char* folder_directory) {
  if (folder_directory == nullptr) return 1;
  std::string path = FolderFlagPath(folder_directory, FolderFlag::kChanged, false);
  if (path.empty()) return 1;
  platform::File flag =
      platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateAlways);
  if (flag.valid()) {
    flag.Write(kChangeFlagText);
    flag.Close();
  }
  return 1;
}

}  // namespace qx
