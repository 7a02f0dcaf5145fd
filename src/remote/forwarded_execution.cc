#include "remote/forwarded_execution.h"

#include <vector>

#include "remote/request_coding.h"

namespace qx {

std::string MessageElement(std::string_view message, std::string_view tag) {
  std::string open = "<" + std::string(tag) + ">";
  std::string close = "</" + std::string(tag) + ">";
  size_t start = message.find(open);
  if (start == std::string_view::npos) return {};
  start += open.size();
  size_t end = message.find(close, start);
  if (end == std::string_view::npos) return {};
  return std::string(message.substr(start, end - start));
}

std::string ExecuteForwardedRequest(std::string_view request, const LocalRunner& run) {
  const ForwardedCall* call = FindForwardedCall(MessageElement(request, "FUNCTION"));
  if (call == nullptr) return "<DATA><PARAMETERS></PARAMETERS></DATA>";
  std::vector<uint8_t> records[2];
  for (int i = 0; i < 2; ++i) {
    records[i].assign(call->parameter_sizes[i], 0);
    if (!records[i].empty()) DeserialiseParameter(request, i + 1, records[i]);
  }
  void* parameter2 = records[1].empty() ? nullptr : records[1].data();
  uint32_t result = run(*call, records[0].data(), parameter2);
  std::span<const uint8_t> back;
  if (call->copied_back == 1 || call->copied_back == 2) back = records[call->copied_back - 1];
  return BuildForwardedReply(result, call->copied_back, back);
}

std::string BuildForwardedReply(uint32_t result, int copied_back, std::span<const uint8_t> record) {
  std::string reply = "<DATA><PARAMETERS></PARAMETERS></DATA>";
  SerialiseParameter(reply, 0,
                     std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&result),
                                              sizeof result));
  if (copied_back == 1 || copied_back == 2) SerialiseParameter(reply, copied_back, record);
  return reply;
}

}  // namespace qx
