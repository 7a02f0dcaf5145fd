#pragma once
// The directories and paths a store folder record (STOREFOLDER, qxstore.h)
// names. Its text fields are read with RecordText (qxstore_record_text.h).

#include <cstddef>
#include <string>
#include <string_view>

#include "qxstore.h"
#include "qxstore_record_text.h"

namespace qx {

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
