#include "pim/ical_lines.h"

#include <cstring>

#include "message/quoted_printable.h"
#include "platform/text_compare.h"
#include "platform/utf16_text.h"

namespace qx {

namespace {

using platform::FindNoCaseIn;
using platform::StartsWithNoCase;

constexpr size_t kMaxEncodedFields = 1000;

// The property line of `key` outside alarms: the position after the key
// (and after the ':' or ';' that follows a plain key) and the result.
struct KeyLine {
  size_t value_start = std::string_view::npos;
  int result = kICalValueNotFound;
};

KeyLine FindPropertyLine(const ICalComponent& component, std::string_view key) {
  const std::string_view text = component.text();
  const bool plain = !HoldsAnyOf(key, ":;");
  const bool ends_in_colon = key.back() == ':';
  const char first = platform::UpperAscii(key[0]);
  const auto& alarms = component.alarms();
  size_t alarm = 0;
  for (size_t index = 0;; ++index) {
    const size_t line = component.LineStart(index);
    if (line == std::string_view::npos) break;
    if (platform::UpperAscii(text[line]) != first || !StartsWithNoCase(text.substr(line), key)) continue;
    const size_t after = line + key.size();
    if (!ends_in_colon && (after >= text.size() || (text[after] != ':' && text[after] != ';'))) continue;
    while (alarm < alarms.size() && alarms[alarm].second <= line) ++alarm;
    if (alarm < alarms.size() && alarms[alarm].first <= line) continue;
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

size_t ScanComponent(std::string_view text, bool stop_at_event_end,
                     std::vector<ICalComponent::Span>* alarms) {
  alarms->clear();
  size_t alarm_start = std::string_view::npos;
  const char* data = text.data();
  for (size_t at = 0; at < text.size();) {
    const void* found = std::memchr(data + at, ':', text.size() - at);
    if (found == nullptr) break;
    const size_t colon = static_cast<size_t>(static_cast<const char*>(found) - data);
    at = colon + 1;
    const std::string_view after = text.substr(at);
    if (colon >= 3 && platform::StartsWithNoCase(text.substr(colon - 3), "END")) {
      if (stop_at_event_end && StartsWithNoCase(after, "VEVENT")) {
        if (alarm_start != std::string_view::npos) alarms->emplace_back(alarm_start, colon - 3);
        return colon - 3;
      }
      if (alarm_start != std::string_view::npos && StartsWithNoCase(after, "VALARM")) {
        alarms->emplace_back(alarm_start, at + 6);
        alarm_start = std::string_view::npos;
      }
    } else if (alarm_start == std::string_view::npos && colon >= 5 &&
               platform::StartsWithNoCase(text.substr(colon - 5), "BEGIN") && StartsWithNoCase(after, "VALARM")) {
      alarm_start = colon - 5;
    }
  }
  if (alarm_start != std::string_view::npos) alarms->emplace_back(alarm_start, text.size());
  return std::string_view::npos;
}

ICalComponent::ICalComponent(std::string_view text) { Reset(text); }

void ICalComponent::Reset(std::string_view text) {
  ScanComponent(text, false, &alarms_);
  Reset(text, &alarms_);
}

void ICalComponent::Reset(std::string_view text, std::vector<Span>* alarms) {
  text_ = text;
  alarms_.swap(*alarms);
  line_starts_.clear();
  all_lines_ = text.empty();
  if (!text.empty()) line_starts_.push_back(0);
}

size_t ICalComponent::LineStart(size_t index) const {
  while (index >= line_starts_.size() && !all_lines_) {
    const size_t last = line_starts_.back();
    const void* end = std::memchr(text_.data() + last, '\n', text_.size() - last);
    const size_t next = end == nullptr ? text_.size() : static_cast<size_t>(static_cast<const char*>(end) - text_.data()) + 1;
    if (next >= text_.size()) {
      all_lines_ = true;
    } else {
      line_starts_.push_back(next);
    }
  }
  return index < line_starts_.size() ? line_starts_[index] : std::string_view::npos;
}

int ICal_GetValue(const ICalComponent& component, std::string_view key, std::string* value,
                  char line_end) {
  value->clear();
  if (key.empty()) return kICalValueNotFound;
  const KeyLine line = FindPropertyLine(component, key);
  if (line.result == kICalValueNotFound) return kICalValueNotFound;
  *value = UnfoldedValue(component.text(), line.value_start, line_end);
  ExpandLineBreaks(value);
  return line.result;
}

int ICal_GetValue(std::string_view text, std::string_view key, std::string* value, char line_end) {
  return ICal_GetValue(ICalComponent(text), key, value, line_end);
}

int ICal_GetDecodedValue(std::string_view text, std::string_view key, std::string* value,
                         bool decode, int mode, bool wide, bool* is_wide) {
  return ICal_GetDecodedValue(ICalComponent(text), key, value, decode, mode, wide, is_wide);
}

int ICal_GetDecodedValue(const ICalComponent& component, std::string_view key, std::string* value,
                         bool decode, int mode, bool wide, bool* is_wide) {
  *is_wide = false;
  const int result = ICal_GetValue(component, key, value);
  if (result == kICalValueNotFound) return result;
  if (result == kICalValueWithParameters && decode) {
    const size_t colon = UnescapedColon(*value);
    const bool quoted_printable =
        FindNoCaseIn(std::string_view(*value).substr(0, colon), "ENCODING=QUOTED-PRINTABLE") !=
        std::string_view::npos;
    if (!quoted_printable) {
      value->erase(0, colon == std::string::npos ? colon : colon + 1);
      TrimTrailingBlanks(value, false);
      return result;
    }
    const std::string parameters = value->substr(0, colon);
    std::string decoded = colon == std::string::npos ? std::string() : value->substr(colon + 1);
    {
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
