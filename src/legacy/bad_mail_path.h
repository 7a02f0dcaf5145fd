#pragma once
// The guard of the BLOB functions that take a full path: only files under
// the bad mail directory may be read or written through them.

#include <string_view>

namespace qx {

// True when `path` begins with `bad_mail_directory` (byte for byte, so the
// case must match; an empty directory accepts any beginning) and holds none
// of "..", two backslashes in a row, or "//". The prefix is not required to
// end at a separator: "/bad2/x" passes for "/bad", as it always has.
bool IsBadMailPath(std::string_view path, std::string_view bad_mail_directory);

// The same against the "Bad Mail Directory" setting read at library start.
bool IsBadMailPath(std::string_view path);

// The guard the BLOB functions apply: IsBadMailPath, and while full paths
// are confined (frame/store_roots.h) also where the path leads: below the
// bad mail directory as the file system resolves both now (a directory, so
// "/bad2/x" is not below "/bad"; symbolic links followed), or, with no bad
// mail directory set, anywhere IsAllowedFullPath allows. False with last
// error 5 (123 from IsAllowedFullPath) when refused.
bool IsAllowedBadMailPath(std::string_view path);

}  // namespace qx
