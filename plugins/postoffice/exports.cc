// The provider's C entries: a per-thread listing of one postoffice's
// mailboxes, handed out one record at a time.

#include <cstring>
#include <string>
#include <vector>

#include "frame/store_paths.h"
#include "mailbox_listing.h"
#include "platform/text_compare.h"
#include "qxaipo.h"
#include "qxstore_record_text.h"

namespace {

struct MailboxEnumeration {
  std::string postoffice;
  std::string mailroot;
  std::vector<std::string> names;
  size_t next = 0;
};

thread_local MailboxEnumeration enumeration;

int PlaceNext(MAILBOXSIZE* mailbox) {
  if (enumeration.next >= enumeration.names.size()) return 0;
  const std::string& name = enumeration.names[enumeration.next++];
  std::memset(mailbox->mailbox, 0, sizeof mailbox->mailbox);
  qx::SetRecordText(mailbox->mailbox, name);
  mailbox->enabled = 1;
  mailbox->quota_kb = qxaipo::MailboxQuotaKilobytes(qx::JoinStorePath(enumeration.mailroot, name));
  return 1;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int MailboxFindFirst(MAILBOXSIZE* mailbox) {
  enumeration = MailboxEnumeration();
  if (mailbox == nullptr) return 0;
  enumeration.postoffice = qx::RecordText(mailbox->postoffice);
  enumeration.mailroot = qxaipo::MailrootDirectory(enumeration.postoffice);
  if (enumeration.mailroot.empty()) return 0;
  enumeration.names = qxaipo::ListMailboxes(enumeration.mailroot);
  return PlaceNext(mailbox);
}

__attribute__((visibility("default"))) int MailboxFindNext(MAILBOXSIZE* mailbox) {
  if (mailbox == nullptr || enumeration.postoffice.empty()) return 0;
  if (!qx::platform::EqualsNoCase(qx::RecordField(mailbox->postoffice), enumeration.postoffice)) {
    return 0;
  }
  return PlaceNext(mailbox);
}

}  // extern "C"
