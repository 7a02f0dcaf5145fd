#pragma once
// The quota settings under the SF connector key, read once per process and
// kept, as the delivery services ask for sizes far too often to read the
// registry each time.

#include <cstdint>

namespace qx {

// "Quota Enumeration Mode": 0 and 2 size the Inbox only, 1 and 3 the whole
// mailbox; any other value gives no size.
uint32_t QuotaEnumerationMode();
// "Quota Calc Timeout": seconds a whole-mailbox directory walk may take
// (7200 when absent).
uint32_t QuotaCalcTimeoutSeconds();
// "Disabled Mailbox Quota Enumeration Mode": 0 means disabled mailboxes get
// no size.
uint32_t DisabledMailboxQuotaMode();

// Tests only: the next reads go to the registry again.
void ForgetSizeSettings();

}  // namespace qx
