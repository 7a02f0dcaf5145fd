// Arbitrary bytes as a remote administration host's reply to a forwarded
// call, decoded the way the caller's side decodes one: the result as
// parameter 0 and the copied-back record as parameter 1 or 2, into records
// of exactly each wire row's size (so ASan sees any write past one). What
// decodes must encode into a reply that decodes to the same bytes again.

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "remote/forwarded_calls.h"
#include "remote/forwarded_execution.h"
#include "remote/request_coding.h"

namespace {

constexpr size_t kTextLimit = 32767;

std::set<uint32_t> RecordSizes() {
  std::set<uint32_t> sizes;
  for (const qx::ForwardedCall& call : qx::ForwardedCalls()) {
    for (uint32_t size : call.parameter_sizes) {
      if (size != 0) sizes.insert(size);
    }
  }
  return sizes;
}

void DecodeRecord(std::string_view reply, int index, uint32_t size) {
  std::vector<uint8_t> record(size, 0xA5);
  const std::vector<uint8_t> before = record;
  if (qx::DeserialiseParameter(reply, index, record) == 0) {
    if (record != before) __builtin_trap();
    return;
  }
  const std::string again = qx::BuildForwardedReply(0, index, record);
  const auto parameter = qx::ExtractParameter(again, index);
  if (!parameter) __builtin_trap();
  // A record whose code does not fit the buffer is sent empty, by design.
  if (parameter->text.empty()) return;
  std::vector<uint8_t> back(size, 0);
  if (qx::DeserialiseParameter(again, index, back) != 1 || back != record) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::set<uint32_t> sizes = RecordSizes();
  const std::string_view reply = qx::fuzz::AsText(data, size);
  qx::MessageElement(reply, "STATUS");
  qx::MessageElement(reply, "REASON");

  for (int index = 0; index <= 2; ++index) {
    if (auto parameter = qx::ExtractParameter(reply, index)) {
      if (parameter->text.size() > kTextLimit) __builtin_trap();
    }
  }
  uint32_t result = 0;
  qx::DeserialiseParameter(reply, 0, {reinterpret_cast<uint8_t*>(&result), sizeof result});
  for (uint32_t record_size : sizes) {
    DecodeRecord(reply, 1, record_size);
    DecodeRecord(reply, 2, record_size);
  }
  return 0;
}
