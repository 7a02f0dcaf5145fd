#include "options_text.h"

#include <cctype>
#include <vector>

#include "platform/text_compare.h"

namespace qxaiso {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// The lines of the text, each with its line end, so edits can keep them.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    size_t length = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

// The section a header line opens ("[Postoffice MAIN]" gives "Postoffice
// MAIN" with the blanks between the words reduced to one), or nullopt.
std::optional<std::string> SectionHeader(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
  std::string_view inner = Trim(line.substr(1, line.size() - 2));
  size_t blank = inner.find_first_of(" \t");
  if (blank == std::string_view::npos) return std::string(inner);
  return std::string(inner.substr(0, blank)) + " " + std::string(Trim(inner.substr(blank)));
}

struct Assignment {
  std::string_view option;
  std::string_view value;
};

std::optional<Assignment> ParseAssignment(std::string_view line) {
  std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return std::nullopt;
  size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Assignment{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

bool IsBlank(std::string_view line) { return Trim(line).empty(); }

}  // namespace

std::optional<std::string> SectionFor(int scope, std::string_view name) {
  if (scope != 1) return std::nullopt;
  return "Postoffice " + std::string(Trim(name));
}

std::optional<std::string> FindOption(std::string_view text, std::string_view section,
                                      std::string_view option) {
  std::optional<std::string> value;
  bool inside = false;
  for (std::string_view line : SplitLines(text)) {
    if (auto header = SectionHeader(line)) {
      inside = qx::platform::EqualsNoCase(*header, section);
      continue;
    }
    if (!inside) continue;
    auto assignment = ParseAssignment(line);
    if (assignment && qx::platform::EqualsNoCase(assignment->option, option)) {
      value = std::string(assignment->value);
    }
  }
  return value;
}

std::string WithOption(std::string_view text, std::string_view section, std::string_view option,
                       std::string_view value) {
  std::vector<std::string_view> lines = SplitLines(text);
  std::string assignment = std::string(option) + "=" + std::string(value) + "\n";
  // Where the new line goes: after the section's last assignment of the
  // option, else after its last non-blank line.
  int header_line = -1, last_match = -1, last_content = -1;
  bool inside = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (auto header = SectionHeader(lines[i])) {
      inside = qx::platform::EqualsNoCase(*header, section);
      if (inside && header_line < 0) header_line = last_content = static_cast<int>(i);
      continue;
    }
    if (!inside) continue;
    if (!IsBlank(lines[i])) last_content = static_cast<int>(i);
    auto parsed = ParseAssignment(lines[i]);
    if (parsed && qx::platform::EqualsNoCase(parsed->option, option)) last_match = static_cast<int>(i);
  }
  int insert_after = last_match >= 0 ? last_match : last_content;
  std::string result;
  inside = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    bool is_header = false;
    if (auto header = SectionHeader(line)) {
      inside = qx::platform::EqualsNoCase(*header, section);
      is_header = true;
    }
    auto parsed = is_header ? std::nullopt : ParseAssignment(line);
    bool replaced = inside && parsed && qx::platform::EqualsNoCase(parsed->option, option);
    if (!replaced) {
      result.append(line);
      if (!line.empty() && line.back() != '\n' && static_cast<int>(i) == insert_after) {
        result += '\n';
      }
    }
    if (static_cast<int>(i) == insert_after && !value.empty()) result += assignment;
  }
  if (header_line < 0 && !value.empty()) {
    if (!result.empty() && result.back() != '\n') result += '\n';
    if (!result.empty()) result += '\n';
    result += "[" + std::string(section) + "]\n" + assignment;
  }
  return result;
}

}  // namespace qxaiso
