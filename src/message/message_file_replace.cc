#include "message/message_file_replace.h"

namespace qx {

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("\\/\0", 3)) == std::string_view::npos;
}

bool ReplaceMessageFile(platform::File* written, std::string_view temp_path,
                        std::string_view message_path) {
  if (!written->Flush()) return false;
  return platform::ReplaceWithWrittenFile(written, temp_path, message_path);
}

}  // namespace qx
