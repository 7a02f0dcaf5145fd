#include "pim/provider_file_format.h"

#include <cstdio>

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

void ProviderTextWriter::Add(const ProviderEntry& entry) {
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, "%s%d\t%d\t", lines_ == 0 ? "" : "\n", entry.start, entry.end);
  text_ += numbers;
  text_ += entry.identifier;
  ++lines_;
}

bool IsWritableIdentifier(std::string_view identifier) {
  return identifier.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace qx
