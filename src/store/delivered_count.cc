#include "store/delivered_count.h"

#include <string>

#include "folder/folder_flags.h"
#include "store/store_folder_record.h"

namespace qx {

uint32_t DeliveredMessageCount(const STOREFOLDER& folder) {
  const std::string postoffice = RecordText(folder.postoffice);
  const std::string mailbox = RecordText(folder.mailbox);
  return static_cast<uint32_t>(ConsumeDeliveryFlags(postoffice.c_str(), mailbox.c_str()));
}

}  // namespace qx
