#include "legacy/bad_mail_path.h"

#include "frame/settings.h"
#include "qxstore_record_text.h"

namespace qx {

bool IsBadMailPath(std::string_view path, std::string_view bad_mail_directory) {
  if (!path.starts_with(bad_mail_directory)) return false;
  for (std::string_view forbidden : {"..", "\\\\", "//"}) {
    if (path.find(forbidden) != std::string_view::npos) return false;
  }
  return true;
}

bool IsBadMailPath(std::string_view path) {
  return IsBadMailPath(path, RecordField(Settings().bad_mail_directory));
}

}  // namespace qx
