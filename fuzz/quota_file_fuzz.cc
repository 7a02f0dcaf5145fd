// Arbitrary bytes as a mailbox's `_QUOTA.TXT`, read by the postoffice
// provider as the mailbox's limit in KB: the leading number held to the
// 32-bit range, and 0 (no limit) for anything that is not a number above 0.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "frame/number_text.h"
#include "fuzz_support.h"
#include "postoffice/mailbox_listing.h"

namespace {

std::string g_mailbox;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_mailbox = qx::fuzz::ScratchRoot() + "/anne";
  qx::fuzz::MakeDirectories(g_mailbox);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = qx::fuzz::AsText(data, size);
  qx::fuzz::WriteBytes(g_mailbox + "/_QUOTA.TXT", text);
  const int64_t leading = qx::LeadingInteger(text);
  const int32_t expected =
      leading > 0 ? static_cast<int32_t>(std::min<int64_t>(leading, std::numeric_limits<int32_t>::max()))
                  : 0;
  if (qxaipo::MailboxQuotaKilobytes(g_mailbox) != expected) __builtin_trap();
  return 0;
}
