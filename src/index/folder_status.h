#pragma once
// The folder status: thirteen unsigned 32-bit little-endian numbers (52
// bytes) counted from a folder's index document, and their cache file
// "_FOLDER.DAT", which other processes read to answer status queries without
// loading the index. The file holds exactly the 52 bytes, no header.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "xml/xml_document.h"

namespace qx {

inline constexpr size_t kFolderStatusFields = 13;
inline constexpr size_t kFolderStatusSize = 52;

// Positions of the counted fields among the thirteen numbers (the byte
// offset is four times the position). The others are written as 0.
enum FolderStatusField : size_t {
  kStatusDeleted = 1,      // FLAGSTATUS holds "\DELETED"
  kStatusAnswered = 3,     // "\ANSWERED"
  kStatusFlagged = 4,      // "\FLAGGED"
  kStatusSeenMarker = 5,   // 1 when any entry counts as seen
  kStatusEntries = 6,      // number of entries
  kStatusSeen = 7,         // "\SEEN", or READ is "1"
  kStatusRecent = 8,       // "\RECENT"
  kStatusLastUid = 11,     // the document's last UID
};

using FolderStatusRecord = std::span<uint32_t, kFolderStatusFields>;

// Counts the entries of `document` into `status`: clears it, sets the last
// UID, then for every entry counts the flag words found (without regard to
// case) in the first 255 bytes of its FLAGSTATUS text, and READ "1" as seen.
// A document without a root leaves `status` untouched and gives false.
bool ComputeFolderStatus(const XmlDocument& document, FolderStatusRecord status);

// The same count in steps, for callers that read the entries without a
// DOM: StartFolderStatus clears `status` and sets the last UID, then
// CountEntryStatus counts one entry from its FLAGSTATUS and READ texts.
void StartFolderStatus(FolderStatusRecord status, uint32_t last_uid);
void CountEntryStatus(std::string_view flags, std::string_view read, FolderStatusRecord status);

// The cache file of a folder: GetFolderDirectory of the three names
// followed by "\_FOLDER.DAT", or directly by "_FOLDER.DAT" when the folder
// name is empty or null (that directory text already ends with '\').
// Empty when the directory cannot be formatted.
std::string CachedStatusPath(const char* postoffice, const char* mailbox, const char* folder);

// Reads up to 52 bytes of the folder's "_FOLDER.DAT" into `record`. 1 when
// at least one byte was read; 0 when the file is missing or empty, and the
// record is then untouched.
uint32_t GetCachedStatus(const char* postoffice, const char* mailbox, const char* folder,
                         void* record);

// Writes the 52 bytes of `record` as the folder's "_FOLDER.DAT". 1 on
// success, 0 when the file cannot be created or written.
uint32_t SetCachedStatus(const char* postoffice, const char* mailbox, const char* folder,
                         const void* record);

// The same two over a file path, and over a folder directory (the file is
// "<directory>\_FOLDER.DAT"), for the callers that name the folder by its
// directory.
uint32_t ReadFolderStatusFile(std::string_view path, void* record);
uint32_t WriteFolderStatusFile(std::string_view path, const void* record);
uint32_t WriteFolderStatusInDirectory(std::string_view folder_directory, const void* record);

// Computes the status of `document` into `status` and, when the document
// has a root, writes it to "<folder_directory>\_FOLDER.DAT". 1 when written.
uint32_t CacheFolderStatus(const XmlDocument& document, FolderStatusRecord status,
                           std::string_view folder_directory);

}  // namespace qx
