#pragma once
// A postoffice's size: the whole-mailbox sizes of the mailboxes its
// configuration provider lists, added up.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Empties the record for the provider: the postoffice name (at most 127
// characters), the mailbox name and the provider's data cleared, and the
// enabled flag, quota and size set to all ones.
void PrepareMailboxRecord(MAILBOXSIZE* mailbox, const char* postoffice);

// The total in KB, each mailbox printed as "<name> : <size>"; a mailbox
// without a size counts as 0. 0 when the provider cannot be used.
uint32_t PostofficeSizeKilobytes(const char* postoffice);

}  // namespace qx
