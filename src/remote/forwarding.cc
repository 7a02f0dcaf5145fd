#include "remote/forwarding.h"

#include <span>
#include <string>

#include "platform/errors.h"
#include "platform/socket.h"
#include "remote/forwarding_decision.h"
#include "remote/forwarding_failure.h"
#include "remote/remote_exchange.h"
#include "remote/remote_state.h"
#include "remote/request_coding.h"

namespace qx {

namespace {

std::span<uint8_t> RecordBytes(void* record, uint32_t size) {
  return {static_cast<uint8_t*>(record), size};
}

// The host's result and the record copied back; nullopt when no reply came.
std::optional<uint32_t> Exchange(const ForwardedCall& call, void* parameter1, void* parameter2) {
  void* records[2] = {parameter1, parameter2};
  std::string request = BeginRemoteRequest(call.function_text);
  for (int i = 0; i < 2; ++i) {
    if (call.parameter_sizes[i] == 0) continue;
    SerialiseParameter(request, i + 1, RecordBytes(records[i], call.parameter_sizes[i]));
  }
  std::string reply;
  if (!RemoteExchange(request, reply, kRemoteBufferSize)) return std::nullopt;
  uint32_t result = 0;
  DeserialiseParameter(reply, 0, RecordBytes(&result, sizeof result));
  if (call.copied_back == 1 || call.copied_back == 2) {
    int back = call.copied_back - 1;
    DeserialiseParameter(reply, call.copied_back,
                         RecordBytes(records[back], call.parameter_sizes[back]));
  }
  return result;
}

bool RecordsPresent(const ForwardedCall& call, void* parameter1, void* parameter2) {
  return (call.parameter_sizes[0] == 0 || parameter1 != nullptr) &&
         (call.parameter_sizes[1] == 0 || parameter2 != nullptr);
}

}  // namespace

std::optional<uint32_t> ForwardRecords(const ForwardedCall& call, void* parameter1,
                                       void* parameter2) {
  RemoteState& state = Remote();
  state.last_failure.reset();
  if (PrepareRemoteCall(call.module_key) == kRunLocally) return std::nullopt;
  if (!RecordsPresent(call, parameter1, parameter2)) return 0;
  // Without a usable connection the request still goes out when a socket is
  // open (the host's reply then holds no result), as it always has.
  std::optional<uint32_t> result = Exchange(call, parameter1, parameter2);
  if (state.connection_failure) {
    state.last_failure = state.connection_failure;
  } else if (!result) {
    const uint32_t error = platform::GetLastError();
    state.last_failure = CurrentHostFailure(
        error, std::string("no answer to ") + call.function_text + ": " +
                   platform::SocketErrorText(error));
  }
  if (state.last_failure) platform::SetLastError(state.last_failure->error);
  return result.value_or(0);
}

uint32_t ExchangeForwardedCall(const ForwardedCall& call, void* parameter1, void* parameter2) {
  if (!RecordsPresent(call, parameter1, parameter2)) return 0;
  return Exchange(call, parameter1, parameter2).value_or(0);
}

}  // namespace qx
