#include "legacy/bad_mail_path.h"

#include <cstring>

#include "frame/settings.h"

namespace qx {

bool IsBadMailPath(std::string_view path, std::string_view bad_mail_directory) {
  if (!path.starts_with(bad_mail_directory)) return false;
  for (std::string_view forbidden : {"..", "\\\\", "//"}) {
    if (path.find(forbidden) != std::string_view::npos) return false;
  }
  return true;
}

bool IsBadMailPath(std::string_view path) {
  const auto& directory = Settings().bad_mail_directory;
  return IsBadMailPath(path, std::string_view(directory, strnlen(directory, sizeof directory)));
}

}  // namespace qx
