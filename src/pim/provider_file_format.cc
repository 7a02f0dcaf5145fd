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

// Whether `field` is a number exactly as "%d" writes it: no blank, plus,
// leading zero or "-0", and within the 32-bit range.
bool IsWrittenNumber(std::string_view field) {
  const bool negative = !field.empty() && field.front() == '-';
  const std::string_view digits = field.substr(negative ? 1 : 0);
  if (digits.empty() || digits.size() > 10) return false;
  if (digits.front() == '0' && (negative || digits.size() > 1)) return false;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return digits.size() < 10 || digits <= (negative ? "2147483648" : "2147483647");
}

// Whether the line reads back as itself: "<number>\t<number>\t<identifier>".
bool IsWrittenLine(std::string_view line, std::string_view* identifier) {
  if (line.empty() || line.size() > kProviderLineLimit || line.back() == '\r') return false;
  const size_t first_tab = line.find('\t');
  if (first_tab == std::string_view::npos) return false;
  const size_t second_tab = line.find('\t', first_tab + 1);
  if (second_tab == std::string_view::npos) return false;
  *identifier = line.substr(second_tab + 1);
  return IsWrittenNumber(line.substr(0, first_tab)) &&
         IsWrittenNumber(line.substr(first_tab + 1, second_tab - first_tab - 1));
}

}  // namespace

ProviderTextSurvey SurveyProviderText(std::string_view text, std::string_view identifier) {
  ProviderTextSurvey survey;
  if (!text.empty() && text.back() == '\n') survey.as_written = false;
  while (!text.empty()) {
    const size_t line_feed = text.find('\n');
    const std::string_view line = text.substr(0, line_feed);
    text = line_feed == std::string_view::npos ? std::string_view() : text.substr(line_feed + 1);
    std::string_view line_identifier;
    if (!IsWrittenLine(line, &line_identifier)) {
      // The parser's view of the line decides the match; lines it skips match nothing.
      const std::vector<ProviderLine> parsed = ParseProviderText(line);
      survey.as_written = false;
      survey.matched = survey.matched || (!parsed.empty() && IdentifierMatches(identifier, parsed[0].entry.identifier));
      continue;
    }
    survey.matched = survey.matched || IdentifierMatches(identifier, line_identifier);
  }
  return survey;
}

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
