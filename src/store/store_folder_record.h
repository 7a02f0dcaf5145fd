#pragma once
// The fields of a store folder record (STOREFOLDER, qxstore.h) as text, and
// the directories and paths the record names. Records come from callers and
// from the wire, so fields are read only up to their size even when a
// caller left out the terminating NUL.

#include <cstddef>
#include <string>
#include <string_view>

#include "qxstore.h"

namespace qx {

// A name field holds at most this many characters.
inline constexpr size_t kStoreFolderNameLimit = sizeof(STOREFOLDER::name) - 1;

template <size_t N>
std::string FieldText(const char (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != '\0') ++length;
  return std::string(field, length);
}

// Writes `name` into the record's name field, cut to kStoreFolderNameLimit.
void SetStoreFolderName(STOREFOLDER* folder, std::string_view name);

// True for the parent paths of a mailbox's top folder: "\", "/" and "" (the
// empty path names the same directory, so it must list names the same way).
bool IsTopLevelParent(std::string_view parent);

// True for "\Public", "/Public" and "Public", without regard to case.
bool IsPublicRootPath(std::string_view path);

// The directory the record's parent path names, by the hierarchy's path
// builder. Empty when the path does not fit a store path or the names lead
// out of the store (store_paths.h).
std::string StoreFolderDirectory(const STOREFOLDER& folder);

// The folder's own directory: StoreFolderDirectory, '\' and the name, or
// the directory alone when the name is empty. Empty when either is empty
// for want of room, or the name too leads out of the store.
std::string StoreFolderOwnDirectory(const STOREFOLDER& folder);

// The folder's path below the mailbox as shares record it: the parent path
// without trailing separators, '/', the name ("Inbox/Projects" for parent
// "Inbox\" and name "Projects"; "/Inbox" for parent "\" and name "Inbox").
std::string StoreFolderPath(const STOREFOLDER& folder);

// The directory a path lies in: the text before its last '\' or '/' (empty
// when there is none).
std::string ParentDirectoryOf(std::string_view path);

// True when `path` names `directory` itself or something below it, as the
// file system resolves both now (without regard to case).
bool IsSameOrBelow(std::string_view path, std::string_view directory);

}  // namespace qx
