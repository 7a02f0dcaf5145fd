// Arbitrary bytes as a message file through the MIME reader: each content
// property's part, a few headers' values into small and large buffers, and
// the parameters of every header line. Values must stay within their
// buffers; a part found is text of the file.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "message/mime_reader.h"

namespace {

std::string g_message;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_message = qx::fuzz::ScratchRoot() + "/MESSAGE.MAI";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file = qx::fuzz::AsText(data, size);
  qx::fuzz::WriteBytes(g_message, file);

  for (const char* property : {"PR_SUBJECT", "PR_BODY", "PR_BODY_HTML", "PR_BNP_vCalendar"}) {
    std::string value = "stale";
    if (qx::ReadContentValue(g_message, property, &value) != 1) __builtin_trap();
    if (value.size() > qx::kContentValueLimit) __builtin_trap();
    // Body parts are copied from the file as they lie.
    if (std::string_view(property) != "PR_SUBJECT" && !value.empty() &&
        file.find(value.substr(0, 64)) == std::string_view::npos) {
      __builtin_trap();
    }
  }
  for (const char* header : {"Subject", "Content-Type", "Content-Transfer-Encoding"}) {
    for (size_t buffer : {1u, 80u, 4096u}) {
      std::string value;
      if (qx::ReadHeaderValue(g_message, header, &value, buffer) > 1) __builtin_trap();
      if (value.size() > buffer - 1) __builtin_trap();
    }
  }

  std::string_view rest = file;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = qx::WithoutLineEnd(rest.substr(0, end == std::string_view::npos ? end : end + 1));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty()) break;
    for (const char* name : {"boundary", "charset", "name"}) {
      if (auto value = qx::GetHeaderParameter(line, name)) {
        if (value->size() > line.size()) __builtin_trap();
      }
    }
  }
  return 0;
}
