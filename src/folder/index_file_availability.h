#pragma once
// Whether a folder's index file exists, looked at with the folder's index
// block taken around the look (so never while another process holds it),
// or without it.

#include <cstdint>

namespace qx {

// Whether "_index.xml" exists in the folder directory (1 or 0), checked
// under the folder's index block, which is taken and released around the
// check. 5 when the block could not be taken. Mode 99 only checks, without
// the block. A failed release is printed and does not change the result.
inline constexpr int kCheckWithoutBlock = 99;
uint32_t CheckIndexFileAvailability(const char* folder_directory, int mode);

// The same as a flag: take 0 only checks; otherwise the block is taken and
// released around the check, and 0 means it could not be taken. Prints
// nothing.
uint32_t ProbeIndexFile(const char* folder_directory, int take);

}  // namespace qx
