// The size family of the exported interface: mailbox, postoffice and folder
// sizes and the delivery count. Only StoreFolderGet is forwarded to a remote
// administration host; the rest always run here.

#include "qxstore.h"
#include "remote/forwarding.h"
#include "store/delivered_count.h"
#include "store/folder_size.h"
#include "store/mailbox_size.h"
#include "store/postoffice_size.h"

extern "C" {

QXSTORE_API uint32_t GetMailboxSize(MAILBOXSIZE* mailbox) {
  if (mailbox == nullptr) return 0;
  return qx::GetMailboxSizeLocal(mailbox);
}

QXSTORE_API uint32_t GetPostofficeSize(const char* postoffice) {
  if (postoffice == nullptr) return 0;
  return qx::PostofficeSizeKilobytes(postoffice);
}

QXSTORE_API uint32_t StoreFolderGet(STOREFOLDER* folder) {
  if (folder == nullptr) return 0;
  if (auto forwarded = qx::ForwardCall<"StoreFolderGet">(folder)) {
    return *forwarded;
  }
  return qx::GetStoreFolderSize(folder);
}

QXSTORE_API uint32_t StoreFolderGetSize(STOREFOLDER* folder) {
  if (folder == nullptr) return 0;
  return qx::GetStoreFolderSize(folder);
}

QXSTORE_API uint32_t StoreGetDeliveredMessageCount(STOREFOLDER* folder) {
  if (folder == nullptr) return 0;
  return qx::DeliveredMessageCount(*folder);
}

}  // extern "C"
