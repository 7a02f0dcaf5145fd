#include "mailbox_true_size.h"

#include "store/mailbox_size.h"
#include "store/size_settings.h"

namespace qx::storeadm {

std::optional<uint64_t> TrueSizeKilobytes(const std::string& directory) {
  const MailboxWalk walk = WalkMailboxDirectory(directory, 0, QuotaCalcTimeoutSeconds());
  if (walk.outcome != WalkOutcome::kDone) return std::nullopt;
  return (walk.total_bytes + 1023) / 1024;
}

}  // namespace qx::storeadm
