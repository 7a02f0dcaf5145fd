#include "message/mime_reader.h"

#include <cstring>

#include "message/message_line_reader.h"
#include "platform/diagnostics.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;
using platform::FindNoCaseIn;
using platform::StartsWithNoCase;

namespace {

// Message files are replaced only whole, by a rename over their names, so
// a reader that goes through one once needs no share lock: its handle reads
// the old file or the new one to the end.
platform::File OpenForReading(std::string_view path) { return platform::File::OpenForReadingThrough(path); }

bool Mentions(std::string_view line, std::string_view text) {
  return FindNoCaseIn(line, text) != std::string_view::npos;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Mentions() for a pattern tested against every body line (the boundary):
// when its first byte has no case, memchr finds the candidates.
bool MentionsBoundary(std::string_view line, std::string_view boundary) {
  if (IsLetter(boundary.front())) return Mentions(line, boundary);
  for (size_t at = 0; at + boundary.size() <= line.size(); ++at) {
    const void* found = std::memchr(line.data() + at, boundary.front(), line.size() - at);
    if (found == nullptr) return false;
    at = static_cast<size_t>(static_cast<const char*>(found) - line.data());
    if (at + boundary.size() <= line.size() && StartsWithNoCase(line.substr(at), boundary)) {
      return true;
    }
  }
  return false;
}

bool IsBlank(char c) { return c == ' '; }

size_t SkipBlanks(std::string_view text, size_t position) {
  while (position < text.size() && IsBlank(text[position])) ++position;
  return position;
}

// Appends what still fits the value buffer; false once it is full.
bool AppendToValue(std::string* value, std::string_view text) {
  const size_t room = kContentValueLimit - value->size();
  value->append(text.substr(0, room));
  return value->size() < kContentValueLimit;
}

// The part type a content property asks for.
std::string_view WantedPartType(std::string_view property_name) {
  if (EqualsNoCase(property_name, "PR_BODY")) return "text/plain";
  if (EqualsNoCase(property_name, "PR_BODY_HTML")) return "text/html";
  return "text/calendar";
}

// The state of the walk through header and part-header lines.
struct ContentWalk {
  std::string_view wanted;
  bool mixed = false;
  bool alternative = false;
  bool among_part_headers = false;
  bool wanted_found = false;
  std::string boundary;

  void ExamineHeaderLine(std::string_view line) {
    // Most lines name no multipart type: one search rules all three out.
    if (Mentions(line, "multipart/")) ExamineMultipartMentions(line);
    if (boundary.empty() && (mixed || alternative)) {
      std::optional<std::string> found = GetHeaderParameter(line, "boundary");
      if (found) boundary = std::move(*found);
    }
    if (Mentions(line, wanted)) wanted_found = true;
  }

  void ExamineMultipartMentions(std::string_view line) {
    if (Mentions(line, "multipart/mixed")) {
      mixed = true;
      if (among_part_headers) boundary.clear();
    }
    if (Mentions(line, "multipart/related")) alternative = true;
    if (Mentions(line, "multipart/alternative")) {
      // A nested alternative part brings its own boundary.
      if (mixed || alternative) boundary.clear();
      alternative = true;
    }
  }

  bool IsBoundaryLine(std::string_view line) const {
    return !boundary.empty() && MentionsBoundary(line, boundary);
  }
};

// Copies lines up to the first boundary line (or the end of the file).
void CopyPart(MessageLineReader& reader, const ContentWalk& walk, std::string* value) {
  std::string_view line;
  while (reader.NextLine(&line)) {
    if (walk.IsBoundaryLine(WithoutLineEnd(line))) return;
    if (!AppendToValue(value, line)) return;
  }
}

void SkipPastBoundary(MessageLineReader& reader, const ContentWalk& walk) {
  std::string_view line;
  while (reader.NextLine(&line)) {
    if (walk.IsBoundaryLine(WithoutLineEnd(line))) return;
  }
}

void ReportUnopened() {
  platform::DiagPrintf("Error: Could not open message file for input. Error Code: %ld\r\n",
                       static_cast<long>(platform::GetLastError()));
}

}  // namespace

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

uint32_t ReadHeaderValue(std::string_view path, std::string_view name, std::string* value,
                         size_t size) {
  value->clear();
  platform::File file = OpenForReading(path);
  if (!file.valid()) {
    ReportUnopened();
    return 0;
  }
  MessageLineReader reader(file, kHeaderPieceLimit);
  std::string_view raw;
  bool found = false;
  std::string text;
  if (!reader.NextLine(&raw)) {
    // A directory or other unreadable entry fails at its first read.
    if (reader.failed()) ReportUnopened();
    return 0;
  }
  do {
    const std::string_view line = WithoutLineEnd(raw);
    if (line.empty()) break;
    if (found) {
      if (line.front() != ' ' && line.front() != '\t') break;
      text.append(line);
    } else if (StartsWithNoCase(line, name) && line.size() > name.size() &&
               line[name.size()] == ':') {
      found = true;
      size_t start = name.size() + 1;
      while (start < line.size() && (line[start] == ' ' || line[start] == '\r' || line[start] == '\n')) {
        ++start;
      }
      text.assign(line.substr(start));
    }
  } while (reader.NextLine(&raw));
  if (!found) return 0;
  if (size == 0) return 1;
  value->assign(text.substr(0, size - 1));
  return 1;
}

std::optional<std::string> GetHeaderParameter(std::string_view line, std::string_view name) {
  if (name.empty()) return std::nullopt;
  size_t from = 0;
  while (from < line.size()) {
    const size_t found = FindNoCaseIn(line.substr(from), name);
    if (found == std::string_view::npos) return std::nullopt;
    size_t position = SkipBlanks(line, from + found + name.size());
    if (position >= line.size() || line[position] != '=') {
      from = position;
      continue;
    }
    position = SkipBlanks(line, position + 1);
    if (position < line.size() && line[position] == '"') {
      ++position;
      while (position < line.size() &&
             (line[position] == '\r' || line[position] == '\n' || IsBlank(line[position]))) {
        ++position;
      }
      const size_t close = line.find('"', position);
      return std::string(line.substr(position, close == std::string_view::npos ? close : close - position));
    }
    const size_t end = line.find_first_of("; \t\r\n", position);
    return std::string(line.substr(position, end == std::string_view::npos ? end : end - position));
  }
  return std::nullopt;
}

uint32_t ReadContentValue(std::string_view path, std::string_view property_name,
                          std::string* value) {
  value->clear();
  if (EqualsNoCase(property_name, "PR_SUBJECT")) {
    ReadHeaderValue(path, "Subject", value, kContentValueLimit + 1);
    return 1;
  }
  platform::File file = OpenForReading(path);
  if (!file.valid()) return 1;
  MessageLineReader reader(file, kHeaderPieceLimit);
  ContentWalk walk;
  walk.wanted = WantedPartType(property_name);
  std::string_view raw;
  while (reader.NextLine(&raw)) {
    const std::string_view line = WithoutLineEnd(raw);
    if (!line.empty()) {
      walk.ExamineHeaderLine(line);
    } else if (walk.wanted_found) {
      CopyPart(reader, walk, value);
      return 1;
    } else if (walk.mixed) {
      SkipPastBoundary(reader, walk);
      walk.among_part_headers = true;
    } else if (walk.alternative) {
      walk.among_part_headers = true;
    } else {
      CopyPart(reader, ContentWalk{}, value);
      return 1;
    }
  }
  return 1;
}

}  // namespace qx
