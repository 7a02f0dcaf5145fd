#include "store/postoffice_size.h"

#include <cstring>

#include "platform/diagnostics.h"
#include "store/mailbox_size.h"
#include "store/postoffice_provider.h"
#include "qxstore_record_text.h"

namespace qx {

void PrepareMailboxRecord(MAILBOXSIZE* mailbox, const char* postoffice) {
  std::memset(mailbox, 0, offsetof(MAILBOXSIZE, enabled));
  if (postoffice != nullptr) SetRecordText(mailbox->postoffice, postoffice);
  // The provider's data ends 4 bytes before the flags; those 4 and the three
  // numbers after them start as all ones.
  std::memset(reinterpret_cast<char*>(mailbox) + offsetof(MAILBOXSIZE, enabled) - 4, 0xFF, 16);
}

uint32_t PostofficeSizeKilobytes(const char* postoffice) {
  PostofficeProvider provider;
  if (!provider.loaded()) {
    platform::DiagPrintf("Unable to Load Postoffice Configuration Provider\n");
    return 0;
  }
  if (!provider.valid()) return 0;
  uint32_t total = 0;
  MAILBOXSIZE mailbox;
  PrepareMailboxRecord(&mailbox, postoffice);
  for (int found = provider.FindFirst(&mailbox); found == 1; found = provider.FindNext(&mailbox)) {
    if (ComputeWholeMailboxSize(&mailbox)) total += mailbox.size_kb;
    const std::string_view name = RecordField(mailbox.mailbox);
    platform::DiagPrintf("%.*s : %ld\n", static_cast<int>(name.size()), name.data(),
                         static_cast<long>(mailbox.size_kb));
    PrepareMailboxRecord(&mailbox, postoffice);
  }
  return total;
}

}  // namespace qx
