#include "message/quoted_printable.h"

namespace qx {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The length of the line break at `at`, 0 when there is none.
size_t LineBreakLength(std::string_view text, size_t at) {
  if (text.substr(at, 2) == "\r\n") return 2;
  if (text.substr(at, 1) == "\n") return 1;
  return 0;
}

}  // namespace

std::string DecodeQuotedPrintable(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c != '=') {
      bytes.push_back(c);
      continue;
    }
    if (at + 1 == text.size()) break;
    if (const size_t soft = LineBreakLength(text, at + 1)) {
      at += soft;
      continue;
    }
    const int high = at + 2 < text.size() ? HexValue(text[at + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[at + 2]) : -1;
    if (low < 0) {
      bytes.push_back(c);
      continue;
    }
    bytes.push_back(static_cast<char>(high * 16 + low));
    at += 2;
  }
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
