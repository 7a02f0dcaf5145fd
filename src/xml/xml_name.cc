#include "xml/xml_name.h"

#include <cstdint>
#include <iterator>

#include "platform/utf8_code_point.h"

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

}  // namespace

bool IsXmlName(std::string_view name) {
  size_t at = 0;
  for (bool first = true; at < name.size(); first = false) {
    char32_t c = 0;
    if (!platform::NextUtf8CodePoint(name, &at, &c)) return false;
    if (first ? !IsStartChar(c) : !IsNameChar(c)) return false;
  }
  return !name.empty();
}

}  // namespace qx
