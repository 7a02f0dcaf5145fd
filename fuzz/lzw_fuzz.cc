// Feeds arbitrary bytes to the parameter coder: as an LZW code stream, as
// base64 text, and as a record to round-trip. The decoders must never write
// past the caller's record, and a record must always come back unchanged.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "remote/base64.h"
#include "remote/lzw.h"

namespace {

constexpr size_t kLargestRecord = 26176;
constexpr size_t kReplyBuffer = 32768;

void DecodeInto(std::span<const uint8_t> codes, size_t record_size) {
  // Exactly the record's size on the heap, so any overrun is caught.
  auto record = std::make_unique<uint8_t[]>(record_size + 1);
  size_t written = qx::LzwDecompress(codes, std::span<uint8_t>(record.get(), record_size));
  if (written > record_size) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QXSTORE_DIAG", "off", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t record_size = ((data[0] << 8) | data[1]) % (kLargestRecord + 1);
  std::span<const uint8_t> rest(data + 2, size - 2);

  DecodeInto(rest, record_size);

  std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
  if (auto decoded = qx::Base64Decode(text, kReplyBuffer)) {
    if (decoded->size() > kReplyBuffer) __builtin_trap();
    DecodeInto(*decoded, record_size);
    auto again = qx::Base64Decode(qx::Base64Encode(*decoded), kReplyBuffer);
    if (!again || *again != *decoded) __builtin_trap();
  }

  std::vector<uint8_t> compressed = qx::LzwCompress(rest);
  if (compressed.size() > 2 * rest.size()) __builtin_trap();
  std::vector<uint8_t> back(rest.size());
  if (qx::LzwDecompress(compressed, back) != rest.size()) __builtin_trap();
  if (!std::equal(back.begin(), back.end(), rest.begin())) __builtin_trap();
  return 0;
}
