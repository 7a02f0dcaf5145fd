#include "platform/utf16_text.h"

#include "platform/utf8_code_point.h"

namespace qx::platform {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

void AppendUtf8(uint32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

void AppendUnit(uint32_t unit, std::string* out) {
  out->push_back(static_cast<char>(unit & 0xFF));
  out->push_back(static_cast<char>(unit >> 8));
}

void AppendUtf16(uint32_t code_point, std::string* out) {
  if (code_point < 0x10000) {
    AppendUnit(code_point, out);
    return;
  }
  code_point -= 0x10000;
  AppendUnit(0xD800 + (code_point >> 10), out);
  AppendUnit(0xDC00 + (code_point & 0x3FF), out);
}

// The code point of the UTF-8 sequence at text[*at], advancing *at past it;
// a byte that starts no valid sequence gives U+FFFD and is passed alone.
uint32_t NextCodePoint(std::string_view text, size_t* at) {
  char32_t code_point = 0;
  if (NextUtf8CodePoint(text, at, &code_point)) return code_point;
  ++*at;
  return kReplacement;
}

}  // namespace

std::string Utf16LeToUtf8(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve(size / 2);
  const size_t units = size / 2;
  auto unit_at = [data](size_t i) -> uint32_t { return data[2 * i] | (data[2 * i + 1] << 8); };
  for (size_t i = 0; i < units; ++i) {
    const uint32_t unit = unit_at(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const uint32_t low = unit_at(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), &out);
        ++i;
        continue;
      }
    }
    AppendUtf8(unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit, &out);
  }
  return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (size_t at = 0; at < text.size();) AppendUtf16(NextCodePoint(text, &at), &out);
  return out;
}

}  // namespace qx::platform
