#include "pim/vcard_element.h"

#include <string>

#include "index/index_format.h"
#include "pim/vcard_key.h"
#include "pim/vcard_line_reader.h"
#include "platform/file_time.h"
#include "platform/text_compare.h"
#include "xml/xml_name.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

enum class LineEffect { kNext, kEndOfCard, kFailed };

bool IsIgnoredKeyStart(char c) { return c == '\r' || c == '\n' || c == ' ' || c == '\t'; }

std::string ValueOfLine(std::string_view rest) {
  rest = rest.substr(0, rest.find_first_of("\r\n"));
  std::string value(rest.substr(0, kVCardValueLimit));
  BlankControlBytes(&value);
  return value;
}

LineEffect ApplyLine(pugi::xml_node element, std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return LineEffect::kNext;
  const std::string_view key = line.substr(0, colon);
  if (key.size() > kVCardKeyLimit || key.empty() || IsIgnoredKeyStart(key.front())) {
    return LineEffect::kNext;
  }
  if (EqualsNoCase(key, "END")) return LineEffect::kEndOfCard;
  if (EqualsNoCase(key, "BEGIN")) return LineEffect::kNext;
  const std::string name = AttributeNameOfKey(key);
  if (name == kIdAttribute || !IsXmlName(name)) return LineEffect::kNext;
  const std::string value = ValueOfLine(line.substr(colon + 1));
  return SetAttribute(element, name.c_str(), value) ? LineEffect::kNext : LineEffect::kFailed;
}

std::optional<uint32_t> OpenFileStamp(const platform::File& file) {
  platform::FileTimes times;
  if (!file.GetTimes(&times)) return std::nullopt;
  return platform::DosStampFromFileTime(times.last_write);
}

bool SetModifiedDate(pugi::xml_node element, uint32_t stamp) {
  return SetAttribute(element, kModifiedDateAttribute,
                      std::to_string(static_cast<int32_t>(stamp)));
}

}  // namespace

bool ReadVCardIntoElement(platform::File* file, pugi::xml_node element,
                          std::optional<uint32_t> listed_stamp) {
  const std::optional<uint32_t> stamp = OpenFileStamp(*file);
  VCardLineReader reader(file);
  std::string_view line;
  for (bool first = true; reader.Next(&line); first = false) {
    if (first && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
      line.remove_prefix(kByteOrderMark.size());
    }
    const LineEffect effect = ApplyLine(element, line);
    if (effect == LineEffect::kFailed) return false;
    if (effect == LineEffect::kEndOfCard) break;
  }
  const std::optional<uint32_t> modified = stamp ? stamp : listed_stamp;
  return !modified || SetModifiedDate(element, *modified);
}

bool Contact_ReadFileAttributes(pugi::xml_node element, std::string_view path) {
  platform::File file = platform::File::Open(path, platform::Access::kRead,
                                             platform::Disposition::kOpenExisting);
  if (!file.valid()) return false;
  return ReadVCardIntoElement(&file, element);
}

bool RebuildContactElement(pugi::xml_node element, std::string_view file_name,
                           platform::File* file, std::optional<uint32_t> listed_stamp) {
  element.remove_attributes();
  if (!SetAttribute(element, kIdAttribute, file_name)) return false;
  if (file == nullptr || !file->valid()) return true;
  return ReadVCardIntoElement(file, element, listed_stamp);
}

}  // namespace qx
