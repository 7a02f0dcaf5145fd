#include "pim/ical_lines.h"

#include "message/quoted_printable.h"
#include "platform/text_compare.h"
#include "platform/utf16_text.h"

namespace qx {

namespace {

using platform::FindNoCaseIn;
using platform::StartsWithNoCase;

constexpr std::string_view kAlarmBegin = "BEGIN:VALARM";
constexpr std::string_view kAlarmEnd = "END:VALARM";
constexpr size_t kMaxEncodedFields = 1000;

// Where the VALARM block that holds `at` ends, or npos when `at` lies in
// none. Only the text up to `at` is searched for the block's start, so a
// component without alarms costs one pass over what precedes the match.
size_t AlarmEndAround(std::string_view text, size_t at) {
  size_t from = 0;
  while (from <= at) {
    const size_t begin = FindNoCaseIn(text.substr(from, at - from), kAlarmBegin);
    if (begin == std::string_view::npos) return std::string_view::npos;
    const size_t start = from + begin;
    const size_t end = FindNoCaseIn(text.substr(start), kAlarmEnd);
    const size_t stop = end == std::string_view::npos ? text.size() : start + end + kAlarmEnd.size();
    if (at < stop) return stop;
    from = stop;
  }
  return std::string_view::npos;
}

// The first line at or after `from` that begins with `key` (any case)
// followed by one of `followers` (any character when empty): the position
// just after the key, or npos.
size_t FindKeyLine(std::string_view text, std::string_view key, std::string_view followers,
                   size_t from) {
  size_t line = from;
  if (line > 0 && text[line - 1] != '\n') {
    line = text.find('\n', line);
    if (line == std::string_view::npos) return line;
    ++line;
  }
  while (line < text.size()) {
    const std::string_view rest = text.substr(line);
    if (StartsWithNoCase(rest, key) &&
        (followers.empty() ||
         (rest.size() > key.size() && followers.find(rest[key.size()]) != std::string_view::npos))) {
      return line + key.size();
    }
    line = text.find('\n', line);
    if (line == std::string_view::npos) break;
    ++line;
  }
  return std::string_view::npos;
}

// The property line of `key` outside alarms: the position after the key
// (and after the ':' or ';' that follows a plain key) and the result.
struct KeyLine {
  size_t value_start = std::string_view::npos;
  int result = kICalValueNotFound;
};

KeyLine FindPropertyLine(std::string_view text, std::string_view key) {
  const bool plain = key.find_first_of(":;") == std::string_view::npos;
  const bool ends_in_colon = !key.empty() && key.back() == ':';
  size_t from = 0;
  while (from < text.size()) {
    const size_t after = FindKeyLine(text, key, ends_in_colon ? "" : ":;", from);
    if (after == std::string_view::npos) return {};
    const size_t line = after - key.size();
    const size_t alarm_end = AlarmEndAround(text, line);
    if (alarm_end != std::string_view::npos) {
      from = alarm_end;
      continue;
    }
    if (plain) return {after + 1, text[after] == ';' ? kICalValueWithParameters : kICalValueFound};
    const bool holds_colon = key.find(':') != std::string_view::npos;
    return {after, holds_colon ? kICalValueFound : kICalValueWithParameters};
  }
  return {};
}

std::string_view WithoutCarriageReturn(std::string_view line, char line_end) {
  if (line_end == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// The value from `at` with its continuation lines.
std::string UnfoldedValue(std::string_view text, size_t at, char line_end) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  std::string value;
  while (true) {
    const size_t end = text.find(line_end, at);
    value += WithoutCarriageReturn(text.substr(at, end == std::string_view::npos ? end : end - at),
                                   line_end);
    if (end == std::string_view::npos || end + 1 >= text.size()) break;
    at = end + 1;
    // The soft break comes first: a quoted-printable line ending in '='
    // followed by a folded line keeps the fold's blank as text.
    if (!value.empty() && value.back() == '=' && !StartsWithNoCase(value, "=?UTF-8?Q?")) {
      value.pop_back();
      continue;
    }
    if (text[at] == ' ' || text[at] == '\t') {
      ++at;
      continue;
    }
    break;
  }
  return value;
}

void ExpandLineBreaks(std::string* value) {
  size_t at = value->find("\\n");
  if (at == std::string::npos) return;
  std::string expanded;
  size_t from = 0;
  for (; at != std::string::npos; at = value->find("\\n", from)) {
    expanded.append(*value, from, at - from);
    expanded += "\r\n";
    from = at + 2;
  }
  expanded.append(*value, from);
  *value = std::move(expanded);
}

size_t UnescapedColon(std::string_view value) {
  for (size_t at = 0; at < value.size(); ++at) {
    if (value[at] == ':' && (at == 0 || value[at - 1] != '\\')) return at;
  }
  return std::string_view::npos;
}

std::string EncodedWords(std::string_view parameters, std::string_view value) {
  std::string prefix = "=?UTF-8?Q?";
  const size_t charset = FindNoCaseIn(parameters, "CHARSET=");
  if (charset != std::string_view::npos) {
    const std::string_view name = parameters.substr(charset + 8);
    prefix = "=?" + std::string(name.substr(0, name.find_first_of(":;"))) + "?Q?";
  }
  std::string words;
  size_t fields = 0;
  while (fields < kMaxEncodedFields) {
    const size_t end = value.find(';');
    const std::string_view field = value.substr(0, end);
    if (fields++ > 0) words += ';';
    if (!field.empty()) {
      words += prefix;
      for (char c : field) {
        if (c == '?') {
          words += "=3F";
        } else {
          words += c;
        }
      }
      words += "?=";
    }
    if (end == std::string_view::npos) break;
    value.remove_prefix(end + 1);
  }
  return words;
}

bool IsTrailingBlank(char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void TrimTrailingBlanks(std::string* value, bool wide) {
  if (!wide) {
    while (!value->empty() && IsTrailingBlank(static_cast<unsigned char>(value->back()))) value->pop_back();
    return;
  }
  while (value->size() >= 2) {
    const size_t last = value->size() - 2;
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>((*value)[last]) |
                                            static_cast<unsigned char>((*value)[last + 1]) << 8);
    if (!IsTrailingBlank(unit)) break;
    value->resize(last);
  }
}

}  // namespace

int ICal_GetValue(std::string_view text, std::string_view key, std::string* value, char line_end) {
  value->clear();
  if (key.empty()) return kICalValueNotFound;
  const KeyLine line = FindPropertyLine(text, key);
  if (line.result == kICalValueNotFound) return kICalValueNotFound;
  *value = UnfoldedValue(text, line.value_start, line_end);
  ExpandLineBreaks(value);
  return line.result;
}

int ICal_GetDecodedValue(std::string_view text, std::string_view key, std::string* value,
                         bool decode, int mode, bool wide, bool* is_wide) {
  *is_wide = false;
  const int result = ICal_GetValue(text, key, value);
  if (result == kICalValueNotFound) return result;
  if (result == kICalValueWithParameters && decode) {
    const size_t colon = UnescapedColon(*value);
    const std::string parameters = value->substr(0, colon);
    std::string decoded = colon == std::string::npos ? std::string() : value->substr(colon + 1);
    if (FindNoCaseIn(parameters, "ENCODING=QUOTED-PRINTABLE") != std::string_view::npos) {
      if (mode == kICalDecodeBytes) {
        decoded = DecodeQuotedPrintable(decoded).value_or(std::string());
        if (wide) {
          decoded = platform::Utf8ToUtf16Le(decoded);
          *is_wide = true;
        }
      } else if (mode == kICalDecodeEncodedWords) {
        decoded = EncodedWords(parameters, decoded);
      }
    }
    *value = std::move(decoded);
  }
  TrimTrailingBlanks(value, *is_wide);
  return result;
}

}  // namespace qx
