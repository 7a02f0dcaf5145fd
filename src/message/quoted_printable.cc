#include "message/quoted_printable.h"

namespace qx {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<std::string> DecodeQuotedPrintable(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '=') {
      bytes += text[at];
      continue;
    }
    const std::string_view rest = text.substr(at + 1);
    if (rest.starts_with("\r\n")) {
      at += 2;
    } else if (rest.starts_with("\n")) {
      at += 1;
    } else if (rest.size() >= 2 && HexValue(rest[0]) >= 0 && HexValue(rest[1]) >= 0) {
      bytes += static_cast<char>(HexValue(rest[0]) * 16 + HexValue(rest[1]));
      at += 2;
    } else {
      return std::nullopt;
    }
  }
  return bytes;
}

}  // namespace qx
