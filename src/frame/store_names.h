#pragma once
// The names callers give for places in the store: postoffices, mailboxes,
// folders and files. They come from other programs of the server and, on a
// remote administration host, from other machines, so none may lead out of
// the store. The path builders (store_paths.h) check them here before they
// join them; where the joined path leads is checked in store_roots.h.
//
// A name is refused for what it says, never for what exists on disk:
//   ".." as a component, with either separator ("..", "a\..\b", "../x")
//   a file name that begins with a separator: an absolute path where one
//     name is expected
//   a postoffice or mailbox name that holds a separator or is "." or "..":
//     each names one directory of its own (a postoffice's directory is a
//     root of the store, so "PO\MAILROOT\MB\link" must never become one)
// A folder text may begin with a separator (the older interfaces write
// "\Inbox"), and folder texts and file names may hold separators inside
// ("Sent\2024"): both lead below the directory they are joined to.

#include <cstdint>
#include <string_view>

namespace qx {

// True when `text` holds ".." as a component.
bool HoldsParentReference(std::string_view text);

// A file name that may be joined to a folder directory. Null and "" are
// accepted (they name the directory itself).
bool IsStoreName(std::string_view name);
bool IsStoreName(const char* name);

// A postoffice or mailbox name. Null and "" are accepted.
bool IsStoreDirectoryName(const char* name);

// A folder text that may be joined to a mailbox or special root.
bool IsStoreFolderText(const char* folder);

// Both checks for one call's names (any may be null). False, with last
// error 123 (invalid name), when one is refused.
bool AcceptStoreNames(const char* postoffice, const char* mailbox, const char* folder);
bool AcceptStoreFileName(std::string_view file_name);

// True for the last errors a refusal leaves: 123 for a name, 5 for where a
// path leads (store_roots.h). Builders that also fail for paths too long to
// fit tell the two apart by this, with the last error cleared before.
bool IsConfinementRefusal(uint32_t last_error);

}  // namespace qx
