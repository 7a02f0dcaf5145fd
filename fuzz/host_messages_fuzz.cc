// Arbitrary bytes as what a client sends the remote administration host:
// split into messages as they arrive, in pieces of varying size, then each
// answered by a session (AUTH, LOAD, PING, QUIT) or, for EXEC, decoded into
// the wire row's records and answered by the host's coder. The split must
// not depend on how the bytes arrived, and a known function's reply must
// carry its result.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "qxradms/admin_session.h"
#include "fuzz_support.h"
#include "remote/forwarded_calls.h"
#include "remote/forwarded_execution.h"
#include "remote/request_coding.h"

namespace {

constexpr uint32_t kResult = 0x5EC7E7;

// Feeds `stream` in pieces of 1 to 97 bytes, as receives may cut it.
std::vector<std::string> SplitAsReceived(std::string_view stream, std::string* pending) {
  std::vector<std::string> messages;
  uint32_t state = static_cast<uint32_t>(stream.size()) * 2654435761u + 1;
  while (!stream.empty()) {
    state = state * 1103515245u + 12345u;
    const size_t piece = std::min<size_t>(stream.size(), 1 + (state >> 16) % 97);
    pending->append(stream.substr(0, piece));
    stream.remove_prefix(piece);
    for (std::string& message : qx::radms::TakeMessages(*pending)) {
      messages.push_back(std::move(message));
    }
  }
  return messages;
}

uint32_t FillRecords(const qx::ForwardedCall& call, void* parameter1, void* parameter2) {
  // Writes every byte the row says each record holds: ASan sees a short one.
  std::memset(parameter1, 0x5A, call.parameter_sizes[0]);
  if (call.parameter_sizes[1] != 0) std::memset(parameter2, 0x5B, call.parameter_sizes[1]);
  return kResult;
}

void Execute(std::string_view message) {
  const std::string reply = qx::ExecuteForwardedRequest(message, FillRecords);
  if (qx::FindForwardedCall(qx::MessageElement(message, "FUNCTION")) == nullptr) return;
  uint32_t result = 0;
  if (qx::DeserialiseParameter(reply, 0, {reinterpret_cast<uint8_t*>(&result), sizeof result}) != 1 ||
      result != kResult) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view stream = qx::fuzz::AsText(data, size);
  std::string whole(stream);
  const std::vector<std::string> at_once = qx::radms::TakeMessages(whole);
  std::string pending;
  if (SplitAsReceived(stream, &pending) != at_once || pending != whole) __builtin_trap();

  qx::radms::AdminSession session("fuzz-secret");
  for (const std::string& message : at_once) {
    if (!message.ends_with("</DATA>")) __builtin_trap();
    if (qx::MessageElement(message, "METHOD") == "EXEC") {
      Execute(message);
      continue;
    }
    if (session.Handle(message).close) break;
  }
  return 0;
}
