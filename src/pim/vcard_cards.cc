#include "pim/vcard_cards.h"

#include "pim/vcard_line_reader.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsLine(std::string_view line, std::string_view expected) {
  line = WithoutLineBreak(line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return EqualsNoCase(line, expected);
}

}  // namespace

VCardCards SplitVCardCards(std::string_view text) {
  VCardCards result;
  size_t at = text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
  size_t card_start = 0;
  int depth = 0;
  while (at < text.size()) {
    const size_t start = at;
    const std::string_view line = TakeLine(text, &at);
    if (IsLine(line, "BEGIN:VCARD")) {
      if (depth++ == 0) card_start = start;
    } else if (depth > 0 && IsLine(line, "END:VCARD") && --depth == 0) {
      result.cards.push_back(text.substr(card_start, at - card_start));
    }
  }
  result.unterminated = depth > 0;
  return result;
}

}  // namespace qx
