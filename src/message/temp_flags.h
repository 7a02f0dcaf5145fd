#pragma once
// Temporary flags: an "X-QXTempFlags:" header carries a message's flags until
// the message is indexed; the index entry then holds them and the header is
// stripped (see StripStoreHeaders).

#include <cstdint>
#include <string_view>

namespace qx {

// 1 when the header block of `folder_dir\file_name` holds a line starting
// "X-QXTempFlags: ", else 0; also 0 when the file cannot be read or UID
// branding is off.
uint32_t HasTempFlags(std::string_view folder_dir, std::string_view file_name);

}  // namespace qx
