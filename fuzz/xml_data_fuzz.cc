// Arbitrary texts and markers ("text\0start tag\0end tag") through
// GetXMLDataEx and the slice helper under it, with buffers of several
// sizes. Each result must be the text between the markers (found as plain
// substrings, the end searched from one byte after the start tag begins),
// cut to the buffer, NUL-terminated, and the position returned must lie
// just past the end tag inside the text.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "frame/xml_slices.h"
#include "fuzz_support.h"
#include "qxstore.h"

namespace {

constexpr size_t npos = std::string_view::npos;

struct Slice {
  size_t value_start = npos;  // npos: no result
  size_t value_length = 0;
  size_t next = npos;
};

Slice ExpectedSlice(std::string_view text, std::string_view start, std::string_view end) {
  Slice slice;
  const size_t found = text.find(start);
  if (found == npos) return slice;
  const size_t end_at = text.find(end, found == text.size() ? found : found + 1);
  if (end_at == npos) return slice;
  slice.value_start = found + start.size();
  slice.value_length = end_at > slice.value_start ? end_at - slice.value_start : 0;
  slice.next = end_at + end.size();
  return slice;
}

void CheckGetXmlData(const std::string& text, const std::string& start, const std::string& end,
                     uint32_t size) {
  const Slice expected = ExpectedSlice(text, start, end);
  auto out = std::make_unique<char[]>(size + 1);
  std::memset(out.get(), 0x7F, size + 1);
  const char* next = GetXMLDataEx(text.c_str(), start.c_str(), end.c_str(), out.get(), size);
  if (expected.next == npos) {
    if (next != nullptr) __builtin_trap();
    return;
  }
  if (next != text.c_str() + expected.next) __builtin_trap();
  if (size == 0) return;
  const size_t copied = std::min<size_t>(expected.value_length, size - 1);
  if (std::memcmp(out.get(), text.data() + expected.value_start, copied) != 0 || out[copied] != '\0') {
    __builtin_trap();
  }
}

void CheckExtractBetween(const std::string& text, const std::string& start, const std::string& end) {
  const size_t found = text.find(start);
  const char* next = nullptr;
  char* copy = qx::ExtractBetween(text.c_str(), start.c_str(), end.c_str(), false, &next);
  if ((copy == nullptr) != (found == npos)) __builtin_trap();
  if (copy == nullptr) return;
  const size_t begin = found + start.size();
  const size_t stop = end.empty() ? npos : text.find(end, begin);
  const std::string_view value = std::string_view(text).substr(begin, stop == npos ? npos : stop - begin);
  if (value != copy) __builtin_trap();
  if (next != (stop == npos ? nullptr : text.c_str() + stop + end.size())) __builtin_trap();
  std::free(copy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = qx::fuzz::SplitInput(qx::fuzz::AsText(data, size), 3);
  const std::string text(parts[0]), start(parts[1]);
  const std::string end(parts[2].substr(0, parts[2].find('\0')));
  for (uint32_t buffer : {0u, 1u, 7u, 64u, 4096u}) CheckGetXmlData(text, start, end, buffer);
  CheckExtractBetween(text, start, end);
  return 0;
}
