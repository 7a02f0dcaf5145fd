#pragma once
// Enumerating the child folders of a folder, and rebuilding its child list
// on request. The record's postoffice, mailbox and parent path name the
// folder whose children are wanted; each child's name is written into the
// record's name field (cut to 511 characters).

#include <cstdint>

#include "qxstore.h"
#include "store/folder_list.h"

namespace qx {

// Loads the child list of the parent's directory into `list` (null: the
// calling thread's own list for that directory) and hands out the first
// name. 1 when there is one; 0 when the folder has no children, its list
// cannot be had or the record names no directory.
uint32_t FindFirstChildFolder(STOREFOLDER* folder, FolderList* list);

// The name after the one handed out last for the same parent. 0 at the end,
// and before a FindFirstChildFolder for that parent.
uint32_t FindNextChildFolder(STOREFOLDER* folder, FolderList* list);

// Ends an enumeration: empties `list`, or with null destroys the calling
// thread's own list for the parent's directory. Always 1.
uint32_t CloseChildFolderFind(const STOREFOLDER& folder, FolderList* list);

// Rebuilds _folder.xml in the parent's directory, with canonical special
// names when the parent is the mailbox's top folder. 1 when written, 0 when
// it could not be created.
uint32_t ReIndexChildFolders(const STOREFOLDER& folder);

}  // namespace qx
