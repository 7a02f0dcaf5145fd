#pragma once
// The index stamp: the last-write time of a folder's index file as a DOS
// date (high 16 bits) and time (low 16 bits) in one number. An open reuses
// its document while the stamp is unchanged, and a save that finds a stamp
// other than the one it loaded knows another writer was there. The stamp
// has the two-second grain of DOS times.

#include <cstdint>
#include <string_view>

namespace qx {

// The stamp of the folder's index file (as IndexFileNameFor names it), from
// a directory search; 0 when the file does not exist.
uint32_t FolderIndexStamp(std::string_view folder_directory, uint32_t folder_type);

// The stamp as an open stores it: 0 (no file) becomes 0xFFFFFFFF.
uint32_t StoredIndexStamp(uint32_t stamp);

}  // namespace qx
