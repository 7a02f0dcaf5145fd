#include "legacy/bad_mail_path.h"

#include <optional>
#include <string>

#include "frame/settings.h"
#include "frame/store_roots.h"
#include "platform/errors.h"
#include "platform/real_path.h"
#include "qxstore_record_text.h"

namespace qx {

namespace {

std::string_view BadMailDirectory() { return RecordField(Settings().bad_mail_directory); }

bool Refused() {
  platform::SetLastError(platform::kErrorAccessDenied);
  return false;
}

bool LeadsBelowBadMailDirectory(std::string_view path, std::string_view bad_mail_directory) {
  if (bad_mail_directory.empty()) return IsAllowedFullPath(path);
  const std::optional<std::string> real = platform::RealPath(path);
  const std::optional<std::string> real_directory = platform::RealPath(bad_mail_directory);
  if (real && real_directory && platform::IsSameOrBelowReal(*real, *real_directory)) return true;
  return Refused();
}

}  // namespace

bool IsBadMailPath(std::string_view path, std::string_view bad_mail_directory) {
  if (!path.starts_with(bad_mail_directory)) return false;
  for (std::string_view forbidden : {"..", "\\\\", "//"}) {
    if (path.find(forbidden) != std::string_view::npos) return false;
  }
  return true;
}

bool IsBadMailPath(std::string_view path) { return IsBadMailPath(path, BadMailDirectory()); }

bool IsAllowedBadMailPath(std::string_view path) {
  if (!IsBadMailPath(path)) return Refused();
  return !FullPathsConfined() || LeadsBelowBadMailDirectory(path, BadMailDirectory());
}

}  // namespace qx
