#pragma once
// The rescan a folder gets before its size is summed from its index, so
// that the sum counts the folder's files as they are now.

#include <cstdint>
#include <string_view>

namespace qx {

// "Index Injection Size Limit" (KB) under the store provider key, 3072 when
// absent or 0. Read once per process and kept.
uint32_t IndexInjectionSizeLimit();
// Tests only: the next IndexInjectionSizeLimit() reads the registry again.
void ForgetIndexInjectionSizeLimit();

// For a folder other than the mailbox root ("/") and "//Calendar" (any
// case), whose "_index.xml" is below the injection limit in whole KB: under
// the folder's block file, when the folder is marked changed ("_CHANGE.DTY",
// consumed, or no index file) it is rescanned with mode 99 on a private
// index object ("//Contacts" by the registered contact scan). `folder_path`
// is the folder as the size path names it; `folder_directory` its
// directory. True when a rescan ran.
bool RescanFolderBeforeSizeSum(std::string_view folder_path, std::string_view folder_directory);

}  // namespace qx
