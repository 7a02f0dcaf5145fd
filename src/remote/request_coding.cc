#include "remote/request_coding.h"

#include <climits>
#include <new>
#include <vector>

#include "platform/diagnostics.h"
#include "remote/base64.h"
#include "remote/lzw.h"
#include "remote/remote_exchange.h"

namespace qx {

namespace {

constexpr std::string_view kParametersEnd = "</PARAMETERS>";
constexpr size_t kTextLimit = kRemoteBufferSize - 1;

// What atoi makes of the text: optional blanks and sign, then digits.
int ParseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

std::string EncodeRecord(std::span<const uint8_t> record) {
  platform::TracePrintf("compressing...\n");
  std::vector<uint8_t> compressed = LzwCompress(record);
  platform::TracePrintf("Compressed size: %d\n", static_cast<int>(compressed.size()));
  std::string text = Base64Encode(compressed);
  if (text.size() > kTextLimit) text.clear();
  // The encoded text is the record itself (base64 of LZW, so recoverable):
  // it is never written anywhere, not even to the trace.
  platform::TracePrintf("Result of base64 encoding: (not shown)\nSize:%d\n",
                        static_cast<int>(text.size()));
  if (text.empty()) platform::TracePrintf("Warning: Serialising returned empty buffer\n");
  return text;
}

}  // namespace

std::string BeginRemoteRequest(std::string_view function_text) {
  std::string request = "<DATA><METHOD>EXEC</METHOD><FUNCTION>";
  request += function_text;
  request += "</FUNCTION><PARAMETERS></PARAMETERS></DATA>";
  if (request.size() > kTextLimit) request.resize(kTextLimit);
  return request;
}

uint32_t SerialiseParameter(std::string& request, int index, std::span<const uint8_t> record) {
  try {
    std::string text = EncodeRecord(record);
    std::string element = "<PARAMETER" + std::to_string(index) +
                          " SIZE=" + std::to_string(record.size()) + ">" + text + "</PARAMETER" +
                          std::to_string(index) + ">";
    return InsertBeforeParametersEnd(request, element, kRemoteBufferSize) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

bool InsertBeforeParametersEnd(std::string& request, std::string_view element, size_t limit) {
  size_t end = request.find(kParametersEnd);
  if (end == std::string::npos) {
    platform::TracePrintf("{request of %d bytes without </PARAMETERS>}\n",
                          static_cast<int>(request.size()));
    return false;
  }
  if (request.size() + element.size() >= limit) return false;
  request.insert(end, element);
  return true;
}

std::optional<ExtractedParameter> ExtractParameter(std::string_view reply, int index) {
  std::string open = "<PARAMETER" + std::to_string(index);
  std::string close = "</PARAMETER" + std::to_string(index) + ">";
  size_t start = reply.find(open);
  if (start == std::string_view::npos) return std::nullopt;
  size_t size_at = reply.find("SIZE=", start + open.size());
  if (size_at == std::string_view::npos) return std::nullopt;
  size_at += 5;
  size_t tag_end = reply.find('>', size_at);
  if (tag_end == std::string_view::npos) return std::nullopt;
  size_t text_end = reply.find(close, tag_end + 1);
  if (text_end == std::string_view::npos) return std::nullopt;
  ExtractedParameter parameter;
  parameter.declared_size = ParseDecimal(reply.substr(size_at, tag_end - size_at));
  std::string_view text = reply.substr(tag_end + 1, text_end - tag_end - 1);
  parameter.text = std::string(text.substr(0, kTextLimit));
  return parameter;
}

uint32_t DeserialiseParameter(std::string_view reply, int index, std::span<uint8_t> record) {
  auto parameter = ExtractParameter(reply, index);
  if (!parameter) return 0;
  platform::TracePrintf("decompressing\n");
  platform::TracePrintf("B64Source length: %d parameter size=%d\n",
                        static_cast<int>(parameter->text.size()), static_cast<int>(record.size()));
  auto decoded = Base64Decode(parameter->text, kRemoteBufferSize);
  platform::TracePrintf("Decoded size=%d\n", decoded ? static_cast<int>(decoded->size()) : 0);
  if (!decoded) return 0;
  size_t written = LzwDecompress(*decoded, record);
  platform::TracePrintf("Uncompressed size=%d\n", static_cast<int>(written));
  platform::TracePrintf("Freeing\n");
  return 1;
}

}  // namespace qx
