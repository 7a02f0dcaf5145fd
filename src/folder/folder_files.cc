#include "folder/folder_files.h"

#include "folder/folder_types.h"

namespace qx {

namespace {

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

const char* FlagFileName(FolderFlag flag) {
  switch (flag) {
    case FolderFlag::kChanged: return kChangeFlagFileName;
    case FolderFlag::kFolder: return kFolderFlagFileName;
    case FolderFlag::kAnyDirty: return kAnyFolderFlagPattern;
    case FolderFlag::kIndexCheck: return kIndexFileName;
  }
  return kChangeFlagFileName;
}

}  // namespace

std::string FolderFilePath(std::string_view folder_directory, std::string_view name) {
  return JoinStorePath(folder_directory, name);
}

const char* IndexFileNameFor(uint32_t folder_type) {
  return folder_type == kFolderTypeGroups ? kGroupIndexFileName : kIndexFileName;
}

const char* IndexBlockNameFor(uint32_t folder_type) {
  return folder_type == kFolderTypeGroups ? kGroupIndexBlockFileName : kIndexBlockFileName;
}

std::string IndexFilePath(const char* folder_directory, size_t limit) {
  return JoinStorePathWithin(OrEmpty(folder_directory), kIndexFileName, limit);
}

std::string IndexBlockPath(const char* folder_directory, size_t limit) {
  return JoinStorePathWithin(OrEmpty(folder_directory), kIndexBlockFileName, limit);
}

std::string FolderFlagPath(const char* folder_directory, FolderFlag flag,
                           bool directory_ends_with_separator, size_t limit) {
  const Separator separator =
      directory_ends_with_separator ? Separator::kPresent : Separator::kAdd;
  return JoinStorePathWithin(OrEmpty(folder_directory), FlagFileName(flag), limit, separator);
}

std::string DeliveryFlagPattern(const char* mailbox_directory, size_t limit) {
  return JoinStorePathWithin(OrEmpty(mailbox_directory), kDeliveryFlagPattern, limit);
}

std::string DeliveryFlagPath(const char* mailbox_directory, int number, size_t limit) {
  std::string name = kDeliveryFlagPattern;
  name.replace(name.find('*'), 1, std::to_string(number));
  return JoinStorePathWithin(OrEmpty(mailbox_directory), name, limit);
}

std::string SizeCachePath(std::string_view directory) {
  return JoinStorePath(directory, kSizeCacheFileName);
}

}  // namespace qx
