#include "pim/vcalendar_text.h"

#include <vector>

#include "platform/text_compare.h"

namespace qx {

using platform::FindNoCaseIn;

namespace {

constexpr std::string_view kEncoding = "ENCODING=QUOTED-PRINTABLE";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Quoted-printable bytes; an '=' without two hexadecimal digits is kept.
std::string DecodeQuotedPrintableValue(std::string_view value) {
  std::string decoded;
  decoded.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '=' && i + 2 < value.size()) {
      const int high = HexValue(value[i + 1]);
      const int low = HexValue(value[i + 2]);
      if (high >= 0 && low >= 0) {
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    decoded += value[i];
  }
  return decoded;
}

// The decoded value with its line breaks as escapes on folded lines.
std::string EscapeLineBreaks(std::string_view decoded) {
  std::string escaped;
  for (size_t i = 0; i < decoded.size(); ++i) {
    if (decoded[i] == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n') continue;
    if (decoded[i] == '\n') {
      escaped += "\\n\r\n ";
    } else {
      escaped += decoded[i];
    }
  }
  return escaped;
}

std::string WithoutEncoding(std::string_view parameters) {
  std::string kept(parameters);
  size_t at = FindNoCaseIn(kept, std::string(kEncoding) + ";");
  if (at != std::string::npos) return kept.erase(at, kEncoding.size() + 1);
  at = FindNoCaseIn(kept, ";" + std::string(kEncoding));
  if (at != std::string::npos) kept.erase(at, kEncoding.size() + 1);
  return kept;
}

struct Line {
  std::string_view text;
  bool ended = false;  // a line end followed it
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  while (!text.empty()) {
    const size_t line_feed = text.find('\n');
    Line line{text.substr(0, line_feed), line_feed != std::string_view::npos};
    if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
    lines.push_back(line);
    text = line.ended ? text.substr(line_feed + 1) : std::string_view();
  }
  return lines;
}

}  // namespace

std::string DecodeCalendarText(std::string_view text) {
  const std::vector<Line> lines = SplitLines(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i].text;
    const size_t colon = line.find(':');
    bool ended = lines[i].ended;
    if (colon == std::string_view::npos || FindNoCaseIn(line.substr(0, colon), kEncoding) == std::string_view::npos) {
      out += line;
    } else {
      std::string value(line.substr(colon + 1));
      while (!value.empty() && value.back() == '=' && i + 1 < lines.size()) {
        value.pop_back();
        value += lines[++i].text;
        ended = lines[i].ended;
      }
      out += WithoutEncoding(line.substr(0, colon));
      out += ':';
      out += EscapeLineBreaks(DecodeQuotedPrintableValue(value));
    }
    if (ended) out += "\r\n";
  }
  return out;
}

}  // namespace qx
