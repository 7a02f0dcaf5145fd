#include "index/message_entry_text.h"

#include <array>
#include <charconv>

#include "index/index_entry.h"
#include "index/index_elements.h"
#include "index/index_format.h"

namespace qx {

namespace {

// What the serialiser does with each byte of an element text (after the
// index-safe replacement) and of an attribute value.
enum class Byte : uint8_t { kAsIs, kEscape, kSpace, kNumeric, kEnd };

constexpr bool IsIndexSafe(unsigned char c) { return (c >= 0x20 && c < 0x80) || c == '\t' || c == '\n' || c == '\r'; }

constexpr std::array<Byte, 256> TextBytes() {
  std::array<Byte, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = IsIndexSafe(static_cast<unsigned char>(c)) ? Byte::kAsIs : Byte::kSpace;
  table['&'] = table['<'] = table['>'] = Byte::kEscape;
  return table;
}

constexpr std::array<Byte, 256> AttributeBytes() {
  std::array<Byte, 256> table{};
  for (int c = 1; c < 32; ++c) table[c] = Byte::kNumeric;
  table[0] = Byte::kEnd;
  table['&'] = table['<'] = table['"'] = Byte::kEscape;
  return table;
}

constexpr std::array<Byte, 256> kTextBytes = TextBytes();
constexpr std::array<Byte, 256> kAttributeBytes = AttributeBytes();

void AppendEscape(std::string* out, char c) {
  switch (c) {
    case '&': out->append("&amp;"); break;
    case '<': out->append("&lt;"); break;
    case '>': out->append("&gt;"); break;
    default: out->append("&quot;"); break;
  }
}

// Control characters in attributes go out as two-digit character references.
void AppendNumeric(std::string* out, unsigned char c) {
  const char reference[] = {'&', '#', static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10), ';'};
  out->append(reference, sizeof reference);
}

void AppendEscaped(std::string* out, std::string_view text, const std::array<Byte, 256>& table) {
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const Byte kind = table[c];
    if (kind == Byte::kAsIs) continue;
    out->append(text.data() + run, i - run);
    run = i + 1;
    switch (kind) {
      case Byte::kEscape: AppendEscape(out, static_cast<char>(c)); break;
      case Byte::kSpace: out->push_back(' '); break;
      case Byte::kNumeric: AppendNumeric(out, c); break;
      default: return;  // the value ends at a NUL byte
    }
  }
  out->append(text.data() + run, text.size() - run);
}

template <typename Number>
void AppendNumber(std::string* out, Number value) {
  char digits[24];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  out->append(digits, end);
}

// Where `name` is among the children of a message entry.
consteval size_t Child(std::string_view name) {
  size_t i = 0;
  while (i < kMessageEntryChildren.size() && std::string_view(kMessageEntryChildren[i]) != name) ++i;
  return i;
}

// An element's tags, made once: each child then costs three appends.
struct Tags {
  std::string open;   // "<NAME>"
  std::string close;  // "</NAME>"
  std::string empty;  // "<NAME/>"
};

const Tags& ChildTags(size_t child) {
  static const std::array<Tags, kMessageEntryChildren.size()> tags = [] {
    std::array<Tags, kMessageEntryChildren.size()> made;
    for (size_t i = 0; i < made.size(); ++i) {
      const std::string name = kMessageEntryChildren[i];
      made[i] = {"<" + name + ">", "</" + name + ">", "<" + name + "/>"};
    }
    return made;
  }();
  return tags[child];
}

void AppendChild(std::string* out, size_t child, std::string_view text) {
  const Tags& tags = ChildTags(child);
  if (text.empty()) {
    out->append(tags.empty);
    return;
  }
  out->append(tags.open);
  AppendEscaped(out, text, kTextBytes);
  out->append(tags.close);
}

template <typename Number>
void AppendNumberChild(std::string* out, size_t child, Number value) {
  const Tags& tags = ChildTags(child);
  out->append(tags.open);
  AppendNumber(out, value);
  out->append(tags.close);
}

}  // namespace

void AppendMessageEntryHead(std::string* out, std::string_view file_name) {
  out->append("<ELEMENT ID=\"");
  AppendEscaped(out, file_name, kAttributeBytes);
  out->append("\" UID=\"");
}

void AppendMessageEntryTail(std::string* out, const MessageHeaders& record) {
  out->append("\">");
  AppendChild(out, Child(kMessageDateElement), record.message_date);
  AppendNumberChild(out, Child(kModifiedDateElement), record.modified_stamp);
  AppendNumberChild(out, Child(kImportanceElement), record.importance);
  AppendChild(out, Child(kFlagStatusElement), FlagStatusForNewEntry(record));
  AppendNumberChild(out, Child(kAttachmentsElement), record.has_attachments);
  AppendChild(out, Child(kFromElement), record.sender);
  AppendChild(out, Child(kToElement), record.recipients);
  AppendChild(out, Child(kCcElement), record.copy_recipients);
  AppendChild(out, Child(kSubjectElement), record.subject);
  AppendChild(out, Child(kReceivedElement), record.received_date);
  AppendNumberChild(out, Child(kReadElement), record.read);
  AppendChild(out, Child(kStateElement), "0");
  AppendChild(out, Child(kClassElement), record.message_class);
  AppendNumberChild(out, Child(kSizeElement), record.file_size);
  out->append("</ELEMENT>");
}

void AppendMessageEntryText(std::string* out, std::string_view file_name, uint32_t uid,
                            std::string_view tail) {
  AppendMessageEntryHead(out, file_name);
  AppendNumber(out, uid);
  out->append(tail);
}

void AppendMessageEntryText(std::string* out, std::string_view file_name, uint32_t uid,
                            const MessageHeaders& record) {
  AppendMessageEntryHead(out, file_name);
  AppendNumber(out, uid);
  AppendMessageEntryTail(out, record);
}

void CountMessageEntryStatus(const MessageHeaders& record, FolderStatusRecord status) {
  // Made index-safe as the entry holds it; the flag words are ASCII, so the
  // count is the same either way, but the entry is what is counted.
  CountEntryStatus(IndexSafeText(FlagStatusForNewEntry(record)), std::to_string(record.read), status);
}

}  // namespace qx
