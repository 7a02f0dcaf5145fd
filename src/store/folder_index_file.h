#pragma once
// A folder directory's list of its child folders, "_folder.xml", and the
// flag "_folder.dty" whose presence says the list is stale. Folder changes
// only raise the flag; the next enumeration rebuilds the list from the
// directory. Other processes of the server read and write both files, so
// their bytes are fixed:
//   _folder.xml  "<folderindex>" then per child directory
//                "<folder><name><![CDATA[" name "]]></name></folder>", then
//                "</folderindex>"; no declaration, no line breaks
//   _folder.dty  "DIRTY"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// "<directory>\_folder.xml" and "<directory>\_folder.dty".
std::string FolderIndexPath(std::string_view directory);
std::string FolderDirtyPath(std::string_view directory);

// The bytes of a _folder.xml listing `names` in the order given.
std::string FolderIndexText(const std::vector<std::string>& names);

// The names of the directories in `directory`, in listing order, without
// "." and "..". With canonical_names (a mailbox's top folder) special names
// are given in their canonical case.
std::vector<std::string> ChildDirectoryNames(std::string_view directory, bool canonical_names);

// Rewrites _folder.xml from the directories in `directory` and then clears
// the stale flag, unless it was raised again meanwhile. Returns the names
// written; nullopt when the file could not be written (everything is then
// left as it was). When the directory changed while the list was written,
// the list is flagged stale again.
std::optional<std::vector<std::string>> RebuildFolderIndex(std::string_view directory,
                                                           bool canonical_names);

// True when _folder.xml is missing or _folder.dty exists.
bool FolderIndexIsStale(std::string_view directory);

// Writes "DIRTY" to _folder.dty in `directory`, as a new file each time.
// False when it cannot.
bool MarkFolderIndexDirty(std::string_view directory);

// The names that _folder.xml lists (the text of each "folder" element under
// the root), in file order. nullopt when the file does not load; the reason
// is printed.
std::optional<std::vector<std::string>> ReadFolderIndexNames(std::string_view directory);

// True when _folder.xml exists and lists `name`, without regard to case.
bool FolderIndexListsName(std::string_view directory, std::string_view name);

// The DOS date (high half) and time of _folder.xml; 0 when it is missing.
uint32_t FolderIndexStamp(std::string_view directory);

}  // namespace qx
