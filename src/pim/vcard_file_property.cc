#include "pim/vcard_file_property.h"

#include "message/quoted_printable.h"
#include "pim/vcard_key.h"
#include "pim/vcard_line_reader.h"
#include "platform/file.h"
#include "platform/text_compare.h"
#include "store/property_map.h"

namespace qx {

using platform::EqualsNoCase;
using platform::FindNoCaseIn;
using platform::StartsWithNoCase;

namespace {

std::optional<std::string> WholeFile(std::string_view path) {
  std::string contents;
  if (!platform::ReadWholeFile(path, &contents)) return std::nullopt;
  return contents;
}

// The folding of a folded value gone: each line break with the blanks and
// TABs after it.
std::string Unfolded(std::string_view folded) {
  std::string value;
  value.reserve(folded.size());
  for (size_t at = 0; at < folded.size(); ++at) {
    const char c = folded[at];
    if (c != '\r' && c != '\n') {
      value.push_back(c);
      continue;
    }
    while (at + 1 < folded.size() &&
           (folded[at + 1] == '\n' || folded[at + 1] == ' ' || folded[at + 1] == '\t')) {
      ++at;
    }
  }
  return value;
}

std::string PhotoValue(std::string_view file, bool keep_folding) {
  size_t at = FindNoCaseIn(file, "\nPHOTO");
  if (at == std::string_view::npos) return {};
  ++at;
  const size_t start = at;
  size_t end = start + WithoutLineBreak(TakeLine(file, &at)).size();
  for (size_t next = at;;) {
    const std::string_view line = TakeLine(file, &next);
    if (!IsFoldedLine(line)) break;
    end = at + WithoutLineBreak(line).size();
    at = next;
  }
  const std::string_view unfolded_line = file.substr(start, end - start);
  const size_t colon = unfolded_line.find(':');
  if (colon == std::string_view::npos) return {};
  const std::string_view value = unfolded_line.substr(colon + 1);
  return keep_folding ? std::string(value) : Unfolded(value);
}

bool Matches(std::string_view key, std::string_view name) {
  return StartsWithNoCase(key, "NOTE;") || EqualsNoCase(AttributeNameOfKey(key), name);
}

std::string_view UpToCr(std::string_view text) { return text.substr(0, text.find('\r')); }

// The lines that continue a matched line: folded lines (less the blank that
// folds them), and after a quoted-printable soft break whatever follows.
void JoinContinuations(VCardLineReader* reader, bool quoted_printable, std::string* value) {
  std::string_view line;
  for (;;) {
    const bool soft_break = quoted_printable && !value->empty() && value->back() == '=';
    if (value->size() >= kVCardLineLimit || !reader->Next(&line)) break;
    if (soft_break) {
      value->pop_back();
    } else if (IsFoldedLine(line)) {
      line.remove_prefix(1);
    } else {
      break;
    }
    value->append(UpToCr(line));
  }
  if (value->size() > kVCardLineLimit) value->resize(kVCardLineLimit);
}

std::optional<std::string> LineValue(std::string_view path, std::string_view name, uint32_t type) {
  platform::File file = platform::File::Open(path, platform::Access::kRead,
                                             platform::Disposition::kOpenExisting);
  if (!file.valid()) return std::nullopt;
  VCardLineReader reader(&file);
  std::string_view line;
  while (reader.Next(&line)) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, colon);
    if (EqualsNoCase(key, "BEGIN") || EqualsNoCase(key, "END") || !Matches(key, name)) continue;
    const bool quoted_printable = FindNoCaseIn(key, "QUOTED-PRINTABLE") != std::string_view::npos;
    std::string value(UpToCr(line.substr(colon + 1)));
    if (!reader.cut()) JoinContinuations(&reader, quoted_printable, &value);
    if (type == kValueNoteText) return quoted_printable ? value : EncodeQuotedPrintable(value);
    return quoted_printable ? DecodeQuotedPrintableLeniently(value) : value;
  }
  return std::string();
}

}  // namespace

std::optional<std::string> Contact_ReadFileProperty(std::string_view path, std::string_view name,
                                                    uint32_t type) {
  if (FindNoCaseIn(name, "VCARD") != std::string_view::npos) return WholeFile(path);
  if (EqualsNoCase(name, "PR_ATTACHMENT_CONTACTPHOTO") || EqualsNoCase(name, "PHOTO")) {
    std::optional<std::string> file = WholeFile(path);
    if (!file) return std::nullopt;
    return PhotoValue(*file, type == kPhotoWithFolding);
  }
  return LineValue(path, name, type);
}

}  // namespace qx
