#pragma once
// File and directory utilities that report failures as Exception from
// "common/FileManagement" (or as false where a quiet flag is given). Paths
// are store paths: '\' and '/' both separate components.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/array.h"

namespace qx {

// False only when a listing of path fails with the invalid-name error (123).
bool IsValidPath(std::string_view path);

// True when a listing of path finds an entry.
bool PathExists(std::string_view path);

// The text before the last separator, ignoring one trailing separator and
// any run of separators directly before the one found. Empty when there is
// no separator or the one found is the first character:
// "C:\dir\sub\" -> "C:\dir", "C:\dir\sub\\" -> "C:\dir\sub", "\x" -> "".
std::string GetParentDirectory(std::string_view path);

// Creates path and any missing parents, top down; true when it exists
// afterwards. Throws "Empty path", "Invalid path: <path>" or "Failed to
// create directory (<path>)"; with quiet set returns false instead.
bool CreateDirectories(std::string_view path, bool quiet = false);

// Creates the parent directories (quietly when quiet), then writes all bytes
// to path, replacing what was there. Throws "Failed to open file <path> for
// output" or "Failed to write file <path>"; with quiet set returns false.
bool WriteBytesToFile(std::string_view path, const Array<unsigned char>& bytes, bool quiet = false);
bool WriteTextToFile(std::string_view path, std::string_view text, bool quiet = false);

// Deletes a file, or a directory with everything below it, depth first. A
// symbolic link is deleted itself, never what it leads to. The first
// failure throws and leaves everything not yet deleted in place:
// "Call to RemoveDirectory failed for <path> (GetLastError() returned <n>)"
// or "Call to DeleteFile failed for <path> (GetLastError() returned <n>)".
void DeleteTree(std::string_view path);

// Moves a file or a directory tree, creating the target's parent. When the
// target exists and replace is set the target tree is deleted first. Throws
// "File not found: <from>" or "Call to MoveFile failed (GetLastError()
// returned <n>)".
void MoveFileOrTree(std::string_view from, std::string_view to, bool replace);

// Copies a file (over any existing target) or a directory tree entry by
// entry, creating directories as needed; symbolic links inside the tree are
// left out, so nothing they lead to is copied. Each file is written beside
// its target and renamed into place once whole (platform/durable_replace.h).
// A failed file copy stores the system error in *error (when not null) and
// throws "Call to CopyFile failed (GetLastError() returned <n>)"; a missing
// source throws "File not found: <from>". With quiet set every failure
// returns false instead.
bool CopyTree(std::string_view from, std::string_view to, bool quiet, uint32_t* error);

}  // namespace qx
