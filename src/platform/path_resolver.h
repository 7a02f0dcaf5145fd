#pragma once
// Store paths are built with '\' as the original system built them. This maps
// such a path to the file system at the moment of the call: both '\' and '/'
// separate components, and existing components are found without regard to
// case (the store creates "INBOX" and later asks for "Inbox"). A component
// that does not exist keeps the spelling given, so it is created that way.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

// The native path for a store path. When the exact spelling exists it is used
// after one stat, without a directory scan.
std::string ToNativePath(std::string_view store_path);

// How many directory scans the resolver has made in this process (for tests
// that check the exact-spelling fast path).
uint64_t ResolverScanCount();

}  // namespace qx::platform
