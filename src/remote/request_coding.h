#pragma once
// The texts of a forwarded call. The request is
// "<DATA><METHOD>EXEC</METHOD><FUNCTION>name</FUNCTION><PARAMETERS>...</PARAMETERS></DATA>"
// with one "<PARAMETER%d SIZE=%d>text</PARAMETER%d>" element per argument
// record, in order and without white space; the reply carries the result as
// parameter 0 and the records copied back as parameters 1 or 2. Each text
// is the record's bytes, LZW-compressed, then base64-encoded. The steps hand
// the forwarding path's progress lines to the trace hook (off unless
// QXSTORE_TRACE=1), never the encoded text: it is the record itself.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qx {

// The empty EXEC request for function_text.
std::string BeginRemoteRequest(std::string_view function_text);

// Encodes record and inserts its element as parameter `index`. An encoded
// text that would not fit the 32768-byte buffer is sent empty. 1 when the
// element was inserted; 0 when the working buffers cannot be allocated or
// the request has no room or no "</PARAMETERS>" (the request is unchanged).
uint32_t SerialiseParameter(std::string& request, int index, std::span<const uint8_t> record);

// Inserts element directly before the first "</PARAMETERS>" when the result
// stays below limit bytes. Without "</PARAMETERS>" traces the request's size
// (not its text). False (request unchanged) when nothing was inserted.
bool InsertBeforeParametersEnd(std::string& request, std::string_view element, size_t limit);

struct ExtractedParameter {
  int declared_size = 0;  // the SIZE= attribute, the record's size before compression
  std::string text;       // the encoded text, at most 32767 bytes
};

// Finds "<PARAMETER<index>" anywhere in reply, then "SIZE=" and the number
// up to the next ">", then the text up to "</PARAMETER<index>>". nullopt
// when any of these is missing.
std::optional<ExtractedParameter> ExtractParameter(std::string_view reply, int index);

// Decodes parameter `index` of reply into record, writing at most
// record.size() bytes (a longer record is cut). 1 on success; 0 with record
// unchanged when the element is missing or its base64 is bad.
uint32_t DeserialiseParameter(std::string_view reply, int index, std::span<uint8_t> record);

}  // namespace qx
