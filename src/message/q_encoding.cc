#include "message/q_encoding.h"

namespace qx {

namespace {

constexpr std::string_view kWordStart = "=?UTF-8?Q?";
constexpr std::string_view kWordEnd = "?=";
constexpr unsigned char kWordThreshold = 129;

bool NeedsEscape(unsigned char byte) {
  return byte < 32 || byte >= 127 || byte == '=' || byte == '?' || byte == '_';
}

}  // namespace

uint32_t QEncode(const unsigned char* bytes, size_t length, char* out, size_t capacity) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  if (capacity == 0) return 0;
  size_t used = 0;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char byte = bytes[i];
    const size_t width = NeedsEscape(byte) ? 3 : 1;
    if (used + width + 1 > capacity) {
      out[used] = '\0';
      return 0;
    }
    if (width == 1) {
      out[used++] = static_cast<char>(byte);
    } else {
      out[used++] = '=';
      out[used++] = kHex[byte >> 4];
      out[used++] = kHex[byte & 0x0F];
    }
  }
  out[used] = '\0';
  return 1;
}

std::string QEncodeWord(std::string_view text) {
  bool high = false;
  for (char c : text) high = high || static_cast<unsigned char>(c) >= kWordThreshold;
  if (!high) return std::string(text);
  // Three output bytes per input byte at most, as the word's buffer allows.
  std::string encoded(text.size() * 3 + 1, '\0');
  QEncode(reinterpret_cast<const unsigned char*>(text.data()), text.size(), encoded.data(),
          encoded.size());
  encoded.resize(encoded.find('\0'));
  std::string word;
  word.reserve(kWordStart.size() + encoded.size() + kWordEnd.size());
  word.append(kWordStart).append(encoded).append(kWordEnd);
  return word;
}

}  // namespace qx
