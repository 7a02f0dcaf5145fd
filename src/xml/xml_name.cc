#include "xml/xml_name.h"

#include <cstdint>
#include <iterator>

namespace qx {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// NameStartChar beyond ASCII.
constexpr Range kStartRanges[] = {
    {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},    {0x370, 0x37D},
    {0x37F, 0x1FFF},  {0x200C, 0x200D}, {0x2070, 0x218F}, {0x2C00, 0x2FEF},
    {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF},
};

// What NameChar adds beyond ASCII.
constexpr Range kMoreRanges[] = {{0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040}};

bool InRanges(char32_t c, const Range* begin, const Range* end) {
  for (const Range* range = begin; range != end; ++range) {
    if (c >= range->first && c <= range->last) return true;
  }
  return false;
}

bool IsStartChar(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
  return InRanges(c, std::begin(kStartRanges), std::end(kStartRanges));
}

bool IsNameChar(char32_t c) {
  if (c < 0x80) return IsStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
  return IsStartChar(c) || InRanges(c, std::begin(kMoreRanges), std::end(kMoreRanges));
}

// The code point at text[*at], advancing *at; false for bytes that are not
// valid UTF-8 (overlong forms and surrogates included).
bool NextCodePoint(std::string_view text, size_t* at, char32_t* c) {
  const auto lead = static_cast<unsigned char>(text[*at]);
  size_t length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    *c = lead;
    ++*at;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return false;
  }
  if (*at + length > text.size()) return false;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[*at + i]);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *c = value;
  *at += length;
  return true;
}

}  // namespace

bool IsXmlName(std::string_view name) {
  size_t at = 0;
  for (bool first = true; at < name.size(); first = false) {
    char32_t c = 0;
    if (!NextCodePoint(name, &at, &c)) return false;
    if (first ? !IsStartChar(c) : !IsNameChar(c)) return false;
  }
  return !name.empty();
}

}  // namespace qx
