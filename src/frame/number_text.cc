#include "frame/number_text.h"

#include <limits>

namespace qx {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipSpaces(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) ++at;
  return at;
}

// Digits from `at` on, saturating at `limit`.
uint64_t Digits(std::string_view text, size_t at, uint64_t limit) {
  uint64_t value = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    value = value * 10 + static_cast<uint64_t>(text[at] - '0');
    if (value > limit) return limit;
  }
  return value;
}

}  // namespace

int64_t LeadingInteger(std::string_view text) {
  size_t at = SkipSpaces(text);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t magnitude = Digits(text, at, kMax);
  return negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

int32_t LeadingInt32(std::string_view text) {
  int64_t value = LeadingInteger(text);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

uint32_t LeadingUnsigned32(std::string_view text) {
  return static_cast<uint32_t>(Digits(text, SkipSpaces(text), 0xFFFFFFFFu));
}

std::optional<uint32_t> WholeUnsigned32(std::string_view text) {
  size_t at = SkipSpaces(text);
  const size_t first_digit = at;
  uint64_t value = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    value = value * 10 + static_cast<uint64_t>(text[at] - '0');
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  if (at == first_digit) return std::nullopt;
  while (at < text.size() && IsSpace(text[at])) ++at;
  if (at != text.size()) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace qx
