#include "remote/forwarding.h"

#include <span>
#include <string>

#include "remote/forwarding_decision.h"
#include "remote/remote_exchange.h"
#include "remote/request_coding.h"

namespace qx {

namespace {

std::span<uint8_t> RecordBytes(void* record, uint32_t size) {
  return {static_cast<uint8_t*>(record), size};
}

}  // namespace

std::optional<uint32_t> ForwardRecords(const ForwardedCall& call, void* parameter1,
                                       void* parameter2) {
  if (PrepareRemoteCall(call.module_key) == kRunLocally) return std::nullopt;
  return ExchangeForwardedCall(call, parameter1, parameter2);
}

uint32_t ExchangeForwardedCall(const ForwardedCall& call, void* parameter1, void* parameter2) {
  void* records[2] = {parameter1, parameter2};
  for (int i = 0; i < 2; ++i) {
    if (call.parameter_sizes[i] != 0 && records[i] == nullptr) return 0;
  }
  uint32_t result = 0;
  std::string request = BeginRemoteRequest(call.function_text);
  for (int i = 0; i < 2; ++i) {
    if (call.parameter_sizes[i] == 0) continue;
    SerialiseParameter(request, i + 1, RecordBytes(records[i], call.parameter_sizes[i]));
  }
  std::string reply;
  if (!RemoteExchange(request, reply, kRemoteBufferSize)) return result;
  DeserialiseParameter(reply, 0, RecordBytes(&result, sizeof result));
  if (call.copied_back == 1 || call.copied_back == 2) {
    int back = call.copied_back - 1;
    DeserialiseParameter(reply, call.copied_back,
                         RecordBytes(records[back], call.parameter_sizes[back]));
  }
  return result;
}

}  // namespace qx
