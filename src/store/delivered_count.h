#pragma once
// The count of deliveries into a mailbox, told by its delivery flag files.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// The highest N among "_<N>.NEW" in the mailbox directory of the record's
// postoffice and mailbox (0 when there are none); every flag is deleted.
uint32_t DeliveredMessageCount(const STOREFOLDER& folder);

}  // namespace qx
