#pragma once
// A mailbox's true size: every file of its directory tree, walked to the
// end. The store's own size query stops at the quota (all a quota check
// needs to know), so past the quota it says less than the mailbox holds.

#include <cstdint>
#include <optional>
#include <string>

namespace qx::storeadm {

// The size in KB, rounded up, of every file below `directory` (a store
// path); nullopt when the walk did not finish within the quota calculation
// time-out.
std::optional<uint64_t> TrueSizeKilobytes(const std::string& directory);

}  // namespace qx::storeadm
