#include "pim/vcard_rewrite.h"

#include "pim/vcard_key.h"
#include "pim/vcard_line_reader.h"
#include "platform/diagnostics.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;
using platform::FindNoCaseIn;
using platform::StartsWithNoCase;

namespace {

// The key as lines carry it, without a ':' of its own at the end.
std::string_view BareKey(std::string_view key) {
  while (!key.empty() && key.back() == ':') key.remove_suffix(1);
  return key;
}

bool EndsCard(std::string_view line) {
  return line.empty() || line.front() == '\r' || line.front() == '\n' ||
         StartsWithNoCase(line, "END:VCARD");
}

class LineMatcher {
 public:
  LineMatcher(std::string_view key, LineMatch match) : key_(BareKey(key)), match_(match) {}

  bool Matches(std::string_view line) const {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string_view line_key = line.substr(0, colon);
    if (match_ == LineMatch::kKey) return EqualsNoCase(line_key, key_);
    return EqualsNoCase(PropertyNameOfKey(line_key), PropertyNameOfKey(key_));
  }

 private:
  std::string_view key_;
  LineMatch match_;
};

bool EndsWithSoftBreak(std::string_view line) {
  const std::string_view text = WithoutLineBreak(line);
  const size_t colon = text.find(':');
  return colon != std::string_view::npos &&
         FindNoCaseIn(text.substr(0, colon), "QUOTED-PRINTABLE") != std::string_view::npos &&
         !text.empty() && text.back() == '=';
}

// Passes over the lines that continue `line` (folded lines, and the lines
// quoted-printable soft breaks join to it).
void SkipContinuations(std::string_view text, std::string_view line, size_t* at) {
  bool soft_break = EndsWithSoftBreak(line);
  for (size_t next = *at;;) {
    const std::string_view following = TakeLine(text, &next);
    if (following.empty() || EndsCard(following)) return;
    if (!soft_break && !IsFoldedLine(following)) return;
    soft_break = soft_break && !WithoutLineBreak(following).empty() &&
                 WithoutLineBreak(following).back() == '=';
    *at = next;
  }
}

std::string Rewritten(std::string_view text, const std::string& new_line, const LineMatcher& matcher) {
  std::string out;
  out.reserve(text.size() + new_line.size());
  bool replaced = false;
  size_t at = 0;
  while (at < text.size()) {
    const size_t start = at;
    const std::string_view line = TakeLine(text, &at);
    if (EndsCard(line)) {
      if (!replaced) out += new_line;
      out.append(text.substr(start));
      return out;
    }
    if (!matcher.Matches(line)) {
      out.append(line);
      continue;
    }
    out += new_line;
    replaced = true;
    SkipContinuations(text, line, &at);
  }
  if (!replaced) {
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out += new_line;
  }
  return out;
}

long LastError() { return static_cast<long>(platform::GetLastError()); }

uint32_t Replace(std::string_view path, std::string_view bytes) {
  platform::FileReplacement replacement(path, RewriteTemporaryPath(path),
                                        platform::FileKind::kOther);
  if (!replacement.valid()) {
    platform::DiagPrintf("Error: Could not open vcf file for writing. Error Code: %ld\r\n",
                         LastError());
    return 1;
  }
  if (!replacement.Write(bytes) || !replacement.Commit()) {
    replacement.Abandon();
    platform::DiagPrintf(
        "Could not remove original copy of vcf file. Check if file has readonly set or if there "
        "are permissions issues\r\n");
  }
  return 1;
}

}  // namespace

std::string RewriteTemporaryPath(std::string_view path) {
  const size_t separator = path.find_last_of("\\/");
  const size_t name = separator == std::string_view::npos ? 0 : separator + 1;
  std::string temporary(path.substr(0, name));
  temporary += '_';
  temporary += path.substr(name);
  return temporary;
}

uint32_t Contact_RewriteFileLine(std::string_view path, std::string_view key,
                                 std::string_view value, LineMatch match) {
  std::string new_line(BareKey(key));
  new_line += ':';
  new_line += value;
  new_line += "\r\n";
  std::string contents;
  if (!platform::ReadWholeFile(path, &contents)) {
    if (platform::GetLastError() == platform::kErrorFileNotFound) return Replace(path, new_line);
    platform::DiagPrintf("Error: Could not open vcf file for input. Error Code: %ld\r\n",
                         LastError());
    return 0;
  }
  return Replace(path, Rewritten(contents, new_line, LineMatcher(key, match)));
}

}  // namespace qx
