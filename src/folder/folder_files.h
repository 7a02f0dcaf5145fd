#pragma once
// The files a folder directory holds besides its messages, named here and
// nowhere else. Other processes of the server read and write the same
// files, so every name is fixed to the byte, case included.
//
// In a folder directory D:
//   D\_index.xml     the folder index (_groups.xml for the group type)
//   D\_index.blk     the index block, the lock of the index across processes
//                    (_groups.blk for the group type)
//   D\_index.bad     an index file that did not load, kept as it was when the
//                    index was rebuilt from what it still held whole
//   D\_FOLDER.DAT    the folder status cached from the index, 52 bytes
//   D\_CHANGE.DTY    flag: the folder's messages changed, rescan them
//   D\_FOLDER.DTY    flag: the folder's status changed
//   D\_DIRSIZE.TMP   the size cache of the folder, in kilobytes
//   D\_folder.xml    the list of the folder's child folders
//   D\_folder.dty    flag: that list is stale
// In a mailbox directory M (R\P\MAILROOT\M), besides the above:
//   M\_N.NEW         delivery flags, N growing with each delivery
//   M\_activity.tab  the clients that have a folder of the mailbox open
//   M\_activity.blk  the activity file's lock
//   M\_activity.tmp  the activity file while it is rewritten
//
// Builders taking `const char*` treat null as the empty text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "frame/store_paths.h"

namespace qx {

inline constexpr const char* kIndexFileName = "_index.xml";
inline constexpr const char* kGroupIndexFileName = "_groups.xml";
inline constexpr const char* kIndexBlockFileName = "_index.blk";
inline constexpr const char* kGroupIndexBlockFileName = "_groups.blk";
inline constexpr const char* kDamagedIndexFileName = "_index.bad";
inline constexpr const char* kFolderStatusFileName = "_FOLDER.DAT";
inline constexpr const char* kChangeFlagFileName = "_CHANGE.DTY";
inline constexpr const char* kFolderFlagFileName = "_FOLDER.DTY";
inline constexpr const char* kAnyFolderFlagPattern = "_*.DTY";
inline constexpr const char* kSizeCacheFileName = "_DIRSIZE.TMP";
inline constexpr const char* kFolderIndexFileName = "_folder.xml";
inline constexpr const char* kFolderDirtyFileName = "_folder.dty";
inline constexpr const char* kDeliveryFlagPattern = "_*.NEW";
inline constexpr const char* kActivityFileName = "_activity.tab";
inline constexpr const char* kActivityTempFileName = "_activity.tmp";
inline constexpr const char* kActivityBlockFileName = "_activity.blk";

// The buffer size of the callers that build flag file paths.
inline constexpr size_t kFlagPathSize = 2048;

// "<folder_directory>\<name>", unbounded.
std::string FolderFilePath(std::string_view folder_directory, std::string_view name);

// The index file "_groups.xml" for the group type, else "_index.xml";
// likewise the block file "_groups.blk" or "_index.blk".
const char* IndexFileNameFor(uint32_t folder_type);
const char* IndexBlockNameFor(uint32_t folder_type);

// "<folder_directory>\_index.xml" and "<folder_directory>\_index.blk"
// whatever the folder type. Each is empty when it would not fit in `limit`
// bytes with its NUL.
std::string IndexFilePath(const char* folder_directory, size_t limit = kStorePathSize);
std::string IndexBlockPath(const char* folder_directory, size_t limit = kStorePathSize);

enum class FolderFlag {
  kChanged,      // _CHANGE.DTY: the folder's messages changed
  kFolder,       // _FOLDER.DTY: the folder's status changed
  kAnyDirty,     // _*.DTY: a listing pattern for any dirty flag
  kIndexCheck,   // _index.xml: the index file, as the dirty check looks for it
};

// The flag file's name in a folder directory: "%s\\_CHANGE.DTY" and so on,
// or "%s_CHANGE.DTY" when the caller says the directory text already ends
// with a separator. Empty when longer than limit - 1.
std::string FolderFlagPath(const char* folder_directory, FolderFlag flag,
                           bool directory_ends_with_separator, size_t limit = kFlagPathSize);

// Delivery flags in a mailbox directory: "%s\\_*.NEW" (a listing pattern)
// and "%s\\_%d.NEW". Empty when longer than limit - 1.
std::string DeliveryFlagPattern(const char* mailbox_directory, size_t limit = kFlagPathSize);
std::string DeliveryFlagPath(const char* mailbox_directory, int number,
                             size_t limit = kFlagPathSize);

// "<directory>\_DIRSIZE.TMP", unbounded.
std::string SizeCachePath(std::string_view directory);

}  // namespace qx
