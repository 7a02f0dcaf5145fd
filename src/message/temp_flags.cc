#include "message/temp_flags.h"

#include "message/message_line_reader.h"
#include "message/message_rewrite.h"
#include "message/message_uid.h"
#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "platform/text_compare.h"
#include "platform/file.h"

namespace qx {

using platform::StartsWithNoCase;

uint32_t HasTempFlags(std::string_view folder_dir, std::string_view file_name) {
  if (!UidBrandingEnabled() || !IsStoreName(file_name)) return 0;
  platform::File file = platform::File::Open(JoinStorePath(folder_dir, file_name),
                                             platform::Access::kRead,
                                             platform::Disposition::kOpenExisting);
  if (!file.valid()) return 0;
  MessageLineReader reader(file, kWholeLines);
  std::string_view line;
  while (reader.NextLine(&line)) {
    if (line.front() == '\r' || line.front() == '\n') break;
    if (StartsWithNoCase(line, "X-QXTempFlags: ")) return 1;
  }
  return 0;
}

}  // namespace qx
