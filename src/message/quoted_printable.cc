#include "message/quoted_printable.h"

namespace qx {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Appends what `text` stands for to `bytes`. A stray "=" fails the decode
// unless `keep_stray`, which keeps it (and drops one ending the text).
bool Decode(std::string_view text, bool keep_stray, std::string* bytes) {
  bytes->reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '=') {
      bytes->push_back(text[at]);
      continue;
    }
    const std::string_view rest = text.substr(at + 1);
    if (rest.starts_with("\r\n")) {
      at += 2;
    } else if (rest.starts_with("\n")) {
      at += 1;
    } else if (rest.size() >= 2 && HexValue(rest[0]) >= 0 && HexValue(rest[1]) >= 0) {
      bytes->push_back(static_cast<char>(HexValue(rest[0]) * 16 + HexValue(rest[1])));
      at += 2;
    } else if (!keep_stray) {
      return false;
    } else if (!rest.empty()) {
      bytes->push_back('=');
    }
  }
  return true;
}

}  // namespace

std::optional<std::string> DecodeQuotedPrintable(std::string_view text) {
  std::string bytes;
  if (!Decode(text, false, &bytes)) return std::nullopt;
  return bytes;
}

std::string DecodeQuotedPrintableLeniently(std::string_view text) {
  std::string bytes;
  Decode(text, true, &bytes);
  return bytes;
}

std::string EncodeQuotedPrintable(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > ' ' && byte <= '~' && byte != '=') {
      text.push_back(c);
      continue;
    }
    text.push_back('=');
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 0x0F]);
  }
  return text;
}

}  // namespace qx
