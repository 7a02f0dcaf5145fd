// The shares family of the exported interface.

#include "qxstore.h"
#include "shares/mailbox_shares.h"

extern "C" {

QXSTORE_API uint32_t RemoveMailboxShares(const char* mailbox, const char* postoffice) {
  return qx::RemoveMailboxShares(mailbox, postoffice);
}

}  // extern "C"
