#pragma once
// Withdrawing all of a mailbox's shares, as when the mailbox is deleted.

#include <cstdint>

namespace qx {

// Withdraws every share in the mailbox's share list with Share_Remove (access
// lists and grantees' security entries included). 1 when the share list
// loaded, also when it listed nothing; 0 when it did not, and then nothing
// is changed.
uint32_t RemoveMailboxShares(const char* mailbox, const char* postoffice);

}  // namespace qx
