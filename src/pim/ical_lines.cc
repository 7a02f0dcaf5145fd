#include "pim/ical_lines.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "message/quoted_printable.h"
#include "platform/text_compare.h"
#include "platform/utf16_text.h"

namespace qx {

namespace {

using platform::FindNoCaseIn;
using platform::StartsWithNoCase;

constexpr size_t kMaxEncodedFields = 1000;

// The property line of `key` outside alarms: the position after the key
// (and after the ':' or ';' that follows a plain key), the result, and the
// '\n' that ends the line (npos on the last line).
struct KeyLine {
  size_t value_start = std::string_view::npos;
  int result = kICalValueNotFound;
  size_t newline = std::string_view::npos;
};

KeyLine FindPropertyLine(const ICalComponent& component, const ICalKey& key) {
  const std::string_view text = component.text();
  const auto alarms = component.alarms();
  size_t alarm = 0;
  const std::span<const size_t> starts = component.line_starts();
  const std::span<const uint64_t> heads = component.line_heads();
  for (size_t index = 0; index < starts.size(); ++index) {
    if ((heads[index] & key.head_mask) != key.head) continue;
    const size_t line = starts[index];
    if (!key.head_decides && !StartsWithNoCase(text.substr(line), key.text)) continue;
    const size_t after = line + key.text.size();
    if (!key.ends_in_colon && (after >= text.size() || (text[after] != ':' && text[after] != ';'))) continue;
    while (alarm < alarms.size() && alarms[alarm].second <= line) ++alarm;
    if (alarm < alarms.size() && alarms[alarm].first <= line) continue;
    const size_t newline = index + 1 < starts.size() ? starts[index + 1] - 1 : std::string_view::npos;
    if (key.plain) return {after + 1, text[after] == ';' ? kICalValueWithParameters : kICalValueFound, newline};
    return {after, key.holds_colon ? kICalValueFound : kICalValueWithParameters, newline};
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

// The value at `at` as it reads: most values stand on one line and need no
// rewriting, and are handed over as a view of the text; the others are
// unfolded and expanded into *storage. `newline` ends the key's line (or
// is npos); it spares a search when the value starts on that line.
std::string_view ValueAt(std::string_view text, size_t at, size_t newline, char line_end, std::string* storage) {
  size_t start = at;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  const size_t end =
      line_end == '\n' && newline != std::string_view::npos && start <= newline ? newline : text.find(line_end, start);
  const std::string_view line =
      WithoutCarriageReturn(text.substr(start, end == std::string_view::npos ? end : end - start), line_end);
  const bool last_line = end == std::string_view::npos || end + 1 >= text.size();
  const bool continued = !last_line && ((!line.empty() && line.back() == '=' &&
                                         !StartsWithNoCase(line, "=?UTF-8?Q?")) ||
                                        text[end + 1] == ' ' || text[end + 1] == '\t');
  // Most values hold no backslash at all: one search for it settles them.
  if (!continued && (line.find('\\') == std::string_view::npos || line.find("\\n") == std::string_view::npos)) {
    return line;
  }
  *storage = UnfoldedValue(text, at, line_end);
  ExpandLineBreaks(storage);
  return *storage;
}

size_t UnescapedColon(std::string_view value) {
  for (size_t at = value.find(':'); at != std::string_view::npos; at = value.find(':', at + 1)) {
    if (at == 0 || value[at - 1] != '\\') return at;
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

std::string_view WithoutTrailingBlanks(std::string_view value, bool wide) {
  if (!wide) {
    while (!value.empty() && IsTrailingBlank(static_cast<unsigned char>(value.back()))) value.remove_suffix(1);
    return value;
  }
  while (value.size() >= 2) {
    const size_t last = value.size() - 2;
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(value[last]) |
                                            static_cast<unsigned char>(value[last + 1]) << 8);
    if (!IsTrailingBlank(unit)) break;
    value.remove_suffix(2);
  }
  return value;
}

constexpr size_t kBlock = 64;

// What a scan looks for in 64 bytes, bit i standing for byte i.
struct BlockHits {
  uint64_t newlines = 0;
  uint64_t colons = 0;
  uint64_t d_or_n = 0;  // 'D', 'd', 'N' or 'n': the last letter of "END" and "BEGIN"
};

BlockHits HitsIn(const char* block) {
  BlockHits hits;
#if defined(__SSE2__)
  for (size_t part = 0; part < kBlock; part += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + part));
    const __m128i lower = _mm_or_si128(bytes, _mm_set1_epi8(0x20));
    const auto bits = [](__m128i matches) {
      return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(matches)));
    };
    hits.newlines |= bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))) << part;
    hits.colons |= bits(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(':'))) << part;
    hits.d_or_n |= bits(_mm_or_si128(_mm_cmpeq_epi8(lower, _mm_set1_epi8('d')),
                                     _mm_cmpeq_epi8(lower, _mm_set1_epi8('n'))))
                   << part;
  }
#else
  for (size_t i = 0; i < kBlock; ++i) {
    const uint64_t bit = uint64_t{1} << i;
    const char lower = static_cast<char>(block[i] | 0x20);
    if (block[i] == '\n') hits.newlines |= bit;
    if (block[i] == ':') hits.colons |= bit;
    if (lower == 'd' || lower == 'n') hits.d_or_n |= bit;
  }
#endif
  return hits;
}

}  // namespace

// Appends the line starts after the newlines of `newlines` (bits of the
// block at `block`), eight at a time whatever the count, which grows only
// for real ones: a loop that ran once per newline mispredicted its exit at
// nearly every block.
void ICalComponent::AddLineStarts(size_t block, uint64_t newlines) {
  if (line_count_ + kBlock > line_starts_.size()) line_starts_.resize(2 * (line_count_ + kBlock));
  size_t* out = line_starts_.data();
  while (newlines != 0) {
    for (size_t i = 0; i < 8; ++i) {
      out[line_count_] = block + static_cast<size_t>(std::countr_zero(newlines)) + 1;
      line_count_ += newlines != 0 ? 1 : 0;
      newlines &= newlines - 1;
    }
  }
}

// One pass over the text, 64 bytes at a time: each '\n' starts a line, and
// a ':' after a 'D' or an 'N' is where a marker ("BEGIN:VALARM",
// "END:VALARM", "END:VEVENT") may stand, compared around it.
size_t ICalComponent::Scan(std::string_view text, bool stop_at_event_end) {
  alarms_.clear();
  line_count_ = 0;
  if (line_starts_.empty()) line_starts_.resize(2 * kBlock);
  if (!text.empty()) line_starts_[line_count_++] = 0;
  size_t alarm_start = std::string_view::npos;
  const char* data = text.data();
  char tail[kBlock];
  uint64_t d_or_n_before = 0;  // the last byte of the block before
  size_t end = std::string_view::npos;
  for (size_t block = 0; block < text.size() && end == std::string_view::npos; block += kBlock) {
    const char* bytes = data + block;
    if (text.size() - block < kBlock) {
      // NUL bytes, which match nothing, stand for the bytes past the end.
      std::memset(tail, 0, kBlock);
      std::memcpy(tail, bytes, text.size() - block);
      bytes = tail;
    }
    const BlockHits hits = HitsIn(bytes);
    AddLineStarts(block, hits.newlines);
    const uint64_t markers = hits.colons & ((hits.d_or_n << 1) | d_or_n_before);
    d_or_n_before = hits.d_or_n >> (kBlock - 1);
    for (uint64_t colons = markers; colons != 0; colons &= colons - 1) {
      const size_t at = block + static_cast<size_t>(std::countr_zero(colons));
      const std::string_view after = text.substr(at + 1);
      if (at >= 3 && StartsWithNoCase(text.substr(at - 3), "END")) {
        if (stop_at_event_end && StartsWithNoCase(after, "VEVENT")) {
          end = at - 3;
          if (alarm_start != std::string_view::npos) alarms_.emplace_back(alarm_start, end);
          alarm_start = std::string_view::npos;
          break;
        }
        if (alarm_start != std::string_view::npos && StartsWithNoCase(after, "VALARM")) {
          alarms_.emplace_back(alarm_start, at + 7);
          alarm_start = std::string_view::npos;
        }
      } else if (alarm_start == std::string_view::npos && at >= 5 &&
                 StartsWithNoCase(text.substr(at - 5), "BEGIN") && StartsWithNoCase(after, "VALARM")) {
        alarm_start = at - 5;
      }
    }
  }
  if (alarm_start != std::string_view::npos) alarms_.emplace_back(alarm_start, text.size());
  text_ = end == std::string_view::npos ? text : text.substr(0, end);
  // Lines start before the text's end: the newline that ends it (or the
  // line before the event's end marker, and the rest of that block) starts
  // none.
  while (line_count_ > 0 && line_starts_[line_count_ - 1] >= text_.size()) --line_count_;
  line_view_ = {line_starts_.data(), line_count_};
  line_heads_.resize(line_count_);
  for (size_t index = 0; index < line_count_; ++index) line_heads_[index] = ICalHeadOf(text_.substr(line_starts_[index]));
  head_view_ = line_heads_;
  alarm_view_ = alarms_;
  return end;
}

void ICalComponent::View(std::string_view text, std::span<const size_t> line_starts,
                         std::span<const uint64_t> line_heads, std::span<const Span> alarms) {
  text_ = text;
  line_view_ = line_starts;
  head_view_ = line_heads;
  alarm_view_ = alarms;
}

ICalComponent::ICalComponent(std::string_view text) { Reset(text); }

void ICalComponent::Reset(std::string_view text) { Scan(text, false); }

size_t ICalComponent::ResetToEventEnd(std::string_view text) { return Scan(text, true); }

int ICal_GetValue(const ICalComponent& component, std::string_view key, std::string* value,
                  char line_end) {
  value->clear();
  if (key.empty()) return kICalValueNotFound;
  const KeyLine line = FindPropertyLine(component, ICalKey(key));
  if (line.result == kICalValueNotFound) return kICalValueNotFound;
  std::string storage;
  const std::string_view found = ValueAt(component.text(), line.value_start, line.newline, line_end, &storage);
  if (found.data() == storage.data()) {
    *value = std::move(storage);
  } else {
    value->assign(found);
  }
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
  ICalValueView view;
  const int result = ICal_ViewDecodedValue(component, key, decode, mode, wide, &view);
  value->assign(view.value);
  *is_wide = view.is_wide;
  return result;
}

int ICal_ViewDecodedValue(const ICalComponent& component, std::string_view key, bool decode, int mode,
                          bool wide, ICalValueView* view) {
  return ICal_ViewDecodedValue(component, ICalKey(key), decode, mode, wide, view);
}

int ICal_ViewDecodedValue(const ICalComponent& component, const ICalKey& key, bool decode, int mode, bool wide,
                          ICalValueView* view) {
  view->value = {};
  view->is_wide = false;
  if (key.text.empty()) return kICalValueNotFound;
  const KeyLine line = FindPropertyLine(component, key);
  if (line.result == kICalValueNotFound) return kICalValueNotFound;
  std::string_view value = ValueAt(component.text(), line.value_start, line.newline, '\n', &view->storage);
  if (line.result == kICalValueWithParameters && decode) {
    const size_t colon = UnescapedColon(value);
    const bool quoted_printable =
        FindNoCaseIn(value.substr(0, colon), "ENCODING=QUOTED-PRINTABLE") != std::string_view::npos;
    if (!quoted_printable) {
      value = colon == std::string_view::npos ? std::string_view() : value.substr(colon + 1);
    } else {
      const std::string parameters(value.substr(0, colon));
      std::string decoded = colon == std::string_view::npos ? std::string() : std::string(value.substr(colon + 1));
      if (mode == kICalDecodeBytes) {
        decoded = DecodeQuotedPrintable(decoded).value_or(std::string());
        if (wide) {
          decoded = platform::Utf8ToUtf16Le(decoded);
          view->is_wide = true;
        }
      } else if (mode == kICalDecodeEncodedWords) {
        decoded = EncodedWords(parameters, decoded);
      }
      view->storage = std::move(decoded);
      value = view->storage;
    }
  }
  view->value = WithoutTrailingBlanks(value, view->is_wide);
  return line.result;
}

}  // namespace qx
