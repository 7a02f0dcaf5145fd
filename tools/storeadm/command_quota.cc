// storeadm quota: a mailbox's limit ("_QUOTA.TXT" in its directory, read by
// the postoffice provider) against its true size, found by walking every
// file (not stopping at the limit, as the quota check itself does), and
// its cached size ("_DIRSIZE.TMP"). set writes the limit (0 removes it);
// recalc writes the cache from the walk.

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "folder/folder_size_cache.h"
#include "frame/store_paths.h"
#include "json_text.h"
#include "mailbox_true_size.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "report.h"
#include "store/mailbox_size.h"
#include "store/size_settings.h"
#include "store_names_check.h"
#include "store_objects.h"

namespace qx::storeadm {
namespace {

int RunQuota(int argc, char** argv);

const Command kQuota{"quota",
                     "show|recalc <postoffice> <mailbox> | show|recalc <postoffice> -A | "
                     "set <postoffice> <mailbox> <KB> [--json]",
                     "shows a mailbox's quota against its true and cached sizes, sets the quota "
                     "(0 removes it) or recalculates the cached size",
                     RunQuota, nullptr, "-A --json"};
const CommandRegistration kRegisterQuota(kQuota);

constexpr const char* kQuotaFileName = "_QUOTA.TXT";

struct Usage {
  std::string mailbox;
  uint64_t quota_kb = 0;
  std::optional<uint64_t> size_kb;    // nullopt when the walk did not finish
  std::optional<uint64_t> cached_kb;  // what the cache holds, whatever its age
};

uint64_t ReadQuota(const std::string& directory) {
  std::string text;
  if (!platform::ReadWholeFile(JoinStorePath(directory, kQuotaFileName), &text)) return 0;
  return std::strtoull(text.c_str(), nullptr, 10);
}

Usage Measure(const char* postoffice, const std::string& mailbox) {
  const std::string directory = PostofficeMailboxDirectory(postoffice, mailbox.c_str());
  Usage usage;
  usage.mailbox = mailbox;
  usage.quota_kb = ReadQuota(directory);
  usage.size_kb = TrueSizeKilobytes(directory);
  std::string cached;
  if (platform::ReadWholeFile(JoinStorePath(directory, "_DIRSIZE.TMP"), &cached)) {
    usage.cached_kb = std::strtoull(cached.c_str(), nullptr, 10);
  }
  return usage;
}

void Print(const std::vector<Usage>& usages, bool json) {
  if (json) {
    std::vector<JsonObject> objects;
    for (const Usage& u : usages) {
      JsonObject object;
      object.Add("mailbox", u.mailbox).AddNumber("quota_kb", static_cast<int64_t>(u.quota_kb));
      object.AddRaw("size_kb", u.size_kb ? std::to_string(*u.size_kb) : "null");
      object.AddRaw("cached_kb", u.cached_kb ? std::to_string(*u.cached_kb) : "null");
      objects.push_back(object);
    }
    PrintJsonArray(objects);
    return;
  }
  for (const Usage& u : usages) {
    const std::string size = u.size_kb ? std::to_string(*u.size_kb) + " KB" : "(walk timed out)";
    const std::string cached = u.cached_kb ? std::to_string(*u.cached_kb) + " KB" : "none";
    std::string quota = "no quota";
    if (u.quota_kb > 0) {
      quota = "of " + std::to_string(u.quota_kb) + " KB";
      if (u.size_kb) {
        char percent[32];
        std::snprintf(percent, sizeof percent, " (%.1f%%)", 100.0 * *u.size_kb / u.quota_kb);
        quota += percent;
        if (*u.size_kb >= u.quota_kb) quota += " OVER QUOTA";
      }
    }
    std::printf("%-24s %s %s; cached %s\n", u.mailbox.c_str(), size.c_str(), quota.c_str(),
                cached.c_str());
  }
}

int SetQuota(const char* postoffice, const char* mailbox, const char* text) {
  char* end = nullptr;
  const unsigned long long kilobytes = std::strtoull(text, &end, 10);
  if (*text == '\0' || *end != '\0' || kilobytes > 0x7fffffff) {
    return UsageError(kQuota, "the quota is a number of KB (0 removes it)");
  }
  if (!RequireMailbox(postoffice, mailbox)) return kExitFailure;
  const std::string path =
      JoinStorePath(PostofficeMailboxDirectory(postoffice, mailbox), kQuotaFileName);
  if (kilobytes == 0) {
    if (!platform::DeleteFile(path) && platform::GetFileSize(path) >= 0) {
      return Fail("cannot remove %s: %s", ShownPath(path).c_str(), LastErrorText().c_str());
    }
    return kExitOk;
  }
  platform::FileReplacement replacement(path, path + ".new", platform::FileKind::kOther);
  if (!replacement.valid() || !replacement.Write(std::to_string(kilobytes)) ||
      !replacement.Commit()) {
    const std::string reason = LastErrorText();
    replacement.Abandon();
    return Fail("cannot write %s: %s", ShownPath(path).c_str(), reason.c_str());
  }
  return kExitOk;
}

// Writes the cache from the walk; false with the reason printed.
bool Recalculate(const char* postoffice, const std::string& mailbox) {
  const std::string directory = PostofficeMailboxDirectory(postoffice, mailbox.c_str());
  const std::optional<uint64_t> size = TrueSizeKilobytes(directory);
  if (!size) {
    DeleteSizeCache(directory);
    ReportError("the size of %s could not be computed in time; its cache was deleted",
                mailbox.c_str());
    return false;
  }
  if (!WriteSizeCache(directory, static_cast<uint32_t>(*size))) {
    ReportError("cannot write the size cache of %s: %s", mailbox.c_str(),
                LastErrorText().c_str());
    return false;
  }
  return true;
}

int RunQuota(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  const bool all = TakeOption(&argc, argv, "-A");
  const std::string action = argc > 1 ? argv[1] : "";
  if (action == "set") {
    if (all || argc != 5) return UsageError(kQuota, "set takes a postoffice, a mailbox and KB");
  } else if (action != "show" && action != "recalc") {
    return UsageError(kQuota, "the action is show, set or recalc");
  } else if (all ? argc != 3 : argc != 4) {
    return UsageError(kQuota, "expected a postoffice and a mailbox, or a postoffice and -A");
  }
  const char* postoffice = argv[2];
  if (!NamesStayInStore({{"postoffice", postoffice}, {"mailbox", all ? "" : argv[3]}})) {
    return kExitFailure;
  }
  if (!CallsRunHere()) return Fail("quota runs on this machine only");
  if (action == "set") return SetQuota(postoffice, argv[3], argv[4]);
  std::vector<std::string> mailboxes;
  if (!RequireMailboxes(postoffice, all ? "" : argv[3], all, &mailboxes)) return kExitFailure;
  std::vector<Usage> usages;
  for (const std::string& mailbox : mailboxes) {
    if (action == "recalc" && !Recalculate(postoffice, mailbox)) return kExitFailure;
    usages.push_back(Measure(postoffice, mailbox));
  }
  Print(usages, json);
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
