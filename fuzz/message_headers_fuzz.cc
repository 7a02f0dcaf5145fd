// libFuzzer target: arbitrary bytes as a message file through the header
// reader, the date parsers and the header rewrite. The rewrite must keep
// everything after the header block byte for byte.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "message/date_text.h"
#include "message/message_date.h"
#include "message/message_headers.h"
#include "message/message_uid.h"

namespace {

using qx::fuzz::ReadBytes;
using qx::fuzz::WriteBytes;

std::string g_folder;

// What follows the first empty line, the part no rewrite may change.
std::string_view AfterHeaderBlock(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (text[at] == '\r' || text[at] == '\n') return text.substr(next);
    at = next;
  }
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_folder = qx::fuzz::ScratchRoot();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = g_folder + "/FUZZ.MAI";
  WriteBytes(path, bytes);

  qx::MessageHeaders record;
  record.uid_validity = 7;
  qx::ReadMessageHeaders(path, &record, qx::HeaderReadOptions());
  qx::ParseMessageDate(bytes.substr(0, 256));
  qx::StoreDateTextFromDisplayDate(bytes.substr(0, 64));
  qx::FileTimeFromStoreDateText(bytes.substr(0, 19));

  qx::WriteMessageUid(g_folder, "FUZZ.MAI", 7, 9, std::string_view("\\SEEN"));
  std::string once = ReadBytes(path);
  if (AfterHeaderBlock(once) != AfterHeaderBlock(bytes)) __builtin_trap();
  qx::StripStoreHeaders(g_folder, "FUZZ.MAI");
  if (AfterHeaderBlock(ReadBytes(path)) != AfterHeaderBlock(bytes)) __builtin_trap();
  return 0;
}
