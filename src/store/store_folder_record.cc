#include "store/store_folder_record.h"

#include <algorithm>

#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "frame/store_roots.h"
#include "platform/text_compare.h"
#include "platform/path_resolver.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

bool IsTopLevelParent(std::string_view parent) {
  return parent.empty() || (parent.size() == 1 && IsSeparator(parent[0]));
}

bool IsPublicRootPath(std::string_view path) {
  if (!path.empty() && IsSeparator(path[0])) path.remove_prefix(1);
  return EqualsNoCase(path, "Public");
}

std::string StoreFolderDirectory(const STOREFOLDER& folder) {
  char directory[kStorePathSize];
  std::string postoffice = RecordText(folder.postoffice);
  std::string mailbox = RecordText(folder.mailbox);
  std::string parent = RecordText(folder.parent);
  if (GetHierarchyFolderPath(directory, sizeof directory, postoffice.c_str(), mailbox.c_str(),
                             parent.c_str()) == 0) {
    return {};
  }
  return directory;
}

std::string StoreFolderOwnDirectory(const STOREFOLDER& folder) {
  std::string directory = StoreFolderDirectory(folder);
  std::string name = RecordText(folder.name);
  if (directory.empty() || name.empty()) return directory;
  if (!AcceptStoreNames(nullptr, nullptr, name.c_str())) return {};
  std::string own_directory = JoinStorePathWithin(directory, name, kStorePathSize);
  const std::string postoffice = RecordText(folder.postoffice);
  if (own_directory.empty() || !IsInsideStore(own_directory, postoffice.c_str())) return {};
  return own_directory;
}

std::string StoreFolderPath(const STOREFOLDER& folder) {
  std::string parent = RecordText(folder.parent);
  while (!parent.empty() && IsSeparator(parent.back())) parent.pop_back();
  std::string name = RecordText(folder.name);
  if (name.empty()) return parent;
  return parent + "/" + name;
}

std::string ParentDirectoryOf(std::string_view path) {
  size_t separator = path.find_last_of("\\/");
  return separator == std::string_view::npos ? std::string()
                                             : std::string(path.substr(0, separator));
}

bool IsSameOrBelow(std::string_view path, std::string_view directory) {
  std::string resolved_path = platform::ToNativePath(path);
  std::string resolved_directory = platform::ToNativePath(directory);
  while (resolved_directory.size() > 1 && resolved_directory.back() == '/')
    resolved_directory.pop_back();
  if (resolved_path.compare(0, resolved_directory.size(), resolved_directory) != 0) return false;
  return resolved_path.size() == resolved_directory.size() ||
         resolved_path[resolved_directory.size()] == '/';
}

}  // namespace qx
