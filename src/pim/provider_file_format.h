#pragma once
// The text of a calendar provider file: one entry per line, "<start>\t<end>
// \t<identifier>" with start and end in decimal Unix seconds, lines
// separated by one LF and no line end after the last. Other processes
// parse these files with fixed buffers, so the limits below are theirs.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx {

// A line is read with at most this many characters; a longer one keeps its
// start. The identifier is at most as long.
inline constexpr size_t kProviderLineLimit = 1023;

struct ProviderEntry {
  int32_t start = 0;
  int32_t end = 0;
  std::string identifier;  // the appointment message's file name
};

// A non-empty line of a provider file and its place: lines are counted from
// 1, empty ones included.
struct ProviderLine {
  size_t number = 0;
  ProviderEntry entry;
};

// The entries of a provider file's text. A line ends at LF (a CR before it
// is dropped); empty lines are skipped. Each line's first two fields are
// read as atol reads them (a missing field is 0) and the identifier is the
// text after the second TAB, empty when there is none: so any text reads,
// and a line that was not an entry becomes one with start 0 and end 0.
std::vector<ProviderLine> ParseProviderText(std::string_view text);

// Identifiers compare without regard to case; an empty wanted identifier
// matches every entry.
bool IdentifierMatches(std::string_view wanted, std::string_view identifier);

// What a writer that keeps every line learns of a provider file's text in
// one pass, without parsing it into entries.
struct ProviderTextSurvey {
  // The text is the very bytes ProviderTextWriter writes for its entries:
  // every line non-empty, within the limit, without CR, with both TABs and
  // its numbers as "%d" writes them, and no line end after the last line.
  // The writer may then keep the text as it is.
  bool as_written = true;
  bool matched = false;  // a line's identifier matches (IdentifierMatches)
};
ProviderTextSurvey SurveyProviderText(std::string_view text, std::string_view identifier);

// Builds a provider file's text line by line.
class ProviderTextWriter {
 public:
  ProviderTextWriter() = default;
  // Goes on from `text`, which a survey found as written.
  explicit ProviderTextWriter(std::string text) : text_(std::move(text)), lines_(text_.empty() ? 0 : 1) {}

  // Adds "%d\t%d\t%s", after an LF unless it is the first line.
  void Add(const ProviderEntry& entry);
  bool empty() const { return lines_ == 0; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  size_t lines_ = 0;
};

// True when `identifier` can stand in a line: it holds neither CR nor LF,
// which would split its line, nor NUL.
bool IsWritableIdentifier(std::string_view identifier);

}  // namespace qx
