#pragma once
// Plain directory operations of the older flat interface, on directory\name
// of a folder record, and the one listing of child names a process keeps.
// What the exported functions do when the call is not forwarded, and what a
// remote administration host does with a forwarded one. A null record gives
// 0 (FolderGet and FolderFindClose included). While full paths are confined
// (frame/store_roots.h), a path that leads out of the store gives 0 and
// touches nothing, FolderGet's included.

#include <cstdint>
#include <string>

#include "qxstore.h"

namespace qx {

// "%s\\%s" of the record's directory and name; empty when it does not fit
// 1024 bytes or is not an allowed full path (IsAllowedFullPath).
std::string LegacyFolderPath(const FOLDERRECORD& folder);

// Creates directory\name, one level. 1 when created, else 0.
uint32_t LocalFolderAdd(FOLDERRECORD* folder);

// Examines nothing: 1 (0 for a refused path while full paths are confined).
uint32_t LocalFolderGet(FOLDERRECORD* folder);

// Removes directory\name, which must be empty. 1 when removed, else 0.
uint32_t LocalFolderRemove(FOLDERRECORD* folder);

// Moves old directory\name to new directory\name (a rename when the
// directories are equal). 1 when moved, else 0.
uint32_t LocalFolderEdit(FOLDERRECORD* old_folder, FOLDERRECORD* new_folder);

// Starts the process's folder listing: the names without an extension in
// the record's directory, files and directories alike, "." and ".." first
// (callers skip those). 1 with the first name (cut to 511 bytes) in the
// record; 0 when nothing matches, and the listing is then closed. A
// listing that was still open is dropped.
uint32_t LocalFolderFindFirst(FOLDERRECORD* folder);

// The next name of the process's listing; the record's directory is not
// read. 0 at the end (the listing is then closed) or when none is open.
uint32_t LocalFolderFindNext(FOLDERRECORD* folder);

// Closes the listing if one is open. Always 0.
uint32_t LocalFolderFindClose(FOLDERRECORD* folder);

}  // namespace qx
