#include "pim/provider_file_format.h"

#include <algorithm>
#include <charconv>

#include "frame/number_text.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

ProviderEntry ParseLine(std::string_view line) {
  ProviderEntry entry;
  const size_t first_tab = line.find('\t');
  entry.start = LeadingInt32(line.substr(0, first_tab));
  if (first_tab == std::string_view::npos) return entry;
  const std::string_view rest = line.substr(first_tab + 1);
  const size_t second_tab = rest.find('\t');
  entry.end = LeadingInt32(rest.substr(0, second_tab));
  if (second_tab != std::string_view::npos) entry.identifier = rest.substr(second_tab + 1);
  return entry;
}

}  // namespace

std::vector<ProviderLine> ParseProviderText(std::string_view text) {
  std::vector<ProviderLine> lines;
  lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  size_t number = 0;
  while (!text.empty()) {
    const size_t line_feed = text.find('\n');
    std::string_view line = text.substr(0, line_feed);
    text = line_feed == std::string_view::npos ? std::string_view() : text.substr(line_feed + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kProviderLineLimit) line = line.substr(0, kProviderLineLimit);
    if (line.empty()) continue;
    lines.push_back({number, ParseLine(line)});
  }
  return lines;
}

bool IdentifierMatches(std::string_view wanted, std::string_view identifier) {
  return wanted.empty() || platform::EqualsNoCase(wanted, identifier);
}

// "%d\t%d\t%s" without printf: a rewrite formats every line of its file.
void ProviderTextWriter::Add(const ProviderEntry& entry) {
  constexpr size_t kDigits = 11;  // "-2147483648"
  char numbers[2 * kDigits + 3];
  char* end = numbers;
  if (lines_ > 0) *end++ = '\n';
  end = std::to_chars(end, end + kDigits, entry.start).ptr;
  *end++ = '\t';
  end = std::to_chars(end, end + kDigits, entry.end).ptr;
  *end++ = '\t';
  text_.append(numbers, static_cast<size_t>(end - numbers));
  text_ += entry.identifier;
  ++lines_;
}

bool IsWritableIdentifier(std::string_view identifier) {
  return identifier.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace qx
