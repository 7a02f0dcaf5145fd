// storeadm size: the whole-mailbox sizes of a postoffice's mailboxes (or of
// one of them) with their use of the quota the postoffice provider gives,
// and the postoffice's total. Fresh cached sizes are used as the quota
// checks use them; a mailbox at or past its quota is walked whole.

#include <algorithm>
#include <cinttypes>
#include <optional>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include <vector>
#include "json_text.h"
#include "mailbox_true_size.h"
#include "store_objects.h"
#include "report.h"
#include "platform/text_compare.h"
#include "frame/store_paths.h"
#include "store/mailbox_size.h"
#include "store/postoffice_provider.h"
#include "store/postoffice_size.h"
#include "store/store_folder_record.h"

namespace qx::storeadm {
namespace {

void PrintMailboxLine(const MAILBOXSIZE& mailbox, bool found) {
  const std::string name = RecordText(mailbox.mailbox);
  if (!found) {
    std::printf("%-24s  no size (another process is computing it, or it cannot be listed)\n",
                name.c_str());
    return;
  }
  std::printf("%-24s %10" PRIu32 " KB", name.c_str(), mailbox.size_kb);
  if (mailbox.quota_kb > 0) {
    const double used = 100.0 * mailbox.size_kb / mailbox.quota_kb;
    std::printf("  of %" PRId32 " KB (%.1f%%)%s", mailbox.quota_kb, used,
                mailbox.size_kb >= static_cast<uint32_t>(mailbox.quota_kb) ? "  OVER QUOTA" : "");
  } else {
    std::printf("  no quota");
  }
  std::printf("\n");
}

int RunSize(int argc, char** argv);

const CommandRegistration kSize({"size", "<postoffice> [mailbox] [--json]",
                                 "mailbox sizes in KB with quota use, and the postoffice total",
                                 RunSize, nullptr, "--json"});

JsonObject JsonLine(const MAILBOXSIZE& mailbox, bool sized) {
  JsonObject object;
  object.Add("mailbox", RecordText(mailbox.mailbox)).AddBool("sized", sized);
  object.AddNumber("size_kb", sized ? mailbox.size_kb : 0);
  object.AddNumber("quota_kb", mailbox.quota_kb > 0 ? mailbox.quota_kb : 0);
  return object;
}

int RunSize(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc < 2 || argc > 3) return UsageError(*FindCommand("size"), "expected a postoffice");
  const char* postoffice = argv[1];
  const char* wanted = argc == 3 ? argv[2] : nullptr;
  if (!RequirePostoffice(postoffice)) return kExitFailure;
  PostofficeProvider provider;
  if (!provider.valid()) {
    return Fail("cannot load the postoffice provider %s", PostofficeProviderPath().c_str());
  }
  struct Sized {
    MAILBOXSIZE mailbox;
    bool sized;
  };
  std::vector<Sized> listed;
  MAILBOXSIZE mailbox;
  PrepareMailboxRecord(&mailbox, postoffice);
  for (int found = provider.FindFirst(&mailbox); found == 1; found = provider.FindNext(&mailbox)) {
    if (wanted == nullptr || platform::EqualsNoCase(RecordText(mailbox.mailbox), wanted)) {
      const bool sized = ComputeWholeMailboxSize(&mailbox);
      // The store's query stops counting at the quota: past it, the size
      // shown is the whole walk's.
      if (sized && mailbox.quota_kb > 0 &&
          mailbox.size_kb >= static_cast<uint32_t>(mailbox.quota_kb)) {
        const std::optional<uint64_t> true_kb = TrueSizeKilobytes(
            PostofficeMailboxDirectory(postoffice, RecordText(mailbox.mailbox).c_str()));
        if (true_kb) mailbox.size_kb = static_cast<uint32_t>(std::min<uint64_t>(*true_kb, UINT32_MAX));
      }
      listed.push_back({mailbox, sized});
    }
    PrepareMailboxRecord(&mailbox, postoffice);
  }
  if (wanted != nullptr && listed.empty()) {
    return Fail("no mailbox %s in postoffice %s", wanted, postoffice);
  }
  if (json) {
    std::vector<JsonObject> objects;
    for (const Sized& line : listed) objects.push_back(JsonLine(line.mailbox, line.sized));
    PrintJsonArray(objects);
    return kExitOk;
  }
  uint64_t total_kb = 0;
  for (const Sized& line : listed) {
    PrintMailboxLine(line.mailbox, line.sized);
    if (line.sized) total_kb += line.mailbox.size_kb;
  }
  if (wanted == nullptr) std::printf("%-24s %10" PRIu64 " KB\n", "total", total_kb);
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
