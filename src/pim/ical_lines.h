#pragma once
// Property lines of an iCalendar component ("SUMMARY:Lunch",
// "DTSTART;TZID=Europe:20110315T093000", folded onto several lines) found by
// key and read out with their parameters decoded.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx {

// A component's text prepared for many lookups: the spans of its VALARM
// blocks (from a "BEGIN:VALARM" to the end of the "END:VALARM" after it, or
// to the text's end; markers in any case, found anywhere) and the starts of
// its lines, all found in one pass over the text. A walk reads a few
// properties of every event; each read then looks only at line starts.
class ICalComponent {
 public:
  using Span = std::pair<size_t, size_t>;

  ICalComponent() = default;
  // `text` must outlive the object (or the next Reset).
  explicit ICalComponent(std::string_view text);
  // A copy would present the lines of the original.
  ICalComponent(const ICalComponent&) = delete;
  ICalComponent& operator=(const ICalComponent&) = delete;
  // Prepares another text, keeping the memory of the last.
  void Reset(std::string_view text);
  // Prepares `text` up to its first "END:VEVENT" (any case, found anywhere;
  // an alarm open there ends there too) and returns that position, the
  // length of the component's text; npos, with the whole text prepared,
  // when there is none. Finding the event's end and indexing its lines is
  // one pass.
  size_t ResetToEventEnd(std::string_view text);
  // Presents a text prepared already (ical_event_index.h): its line starts,
  // heads and alarm spans as a scan of it would find them. All must outlive
  // the object (or the next Reset or View).
  void View(std::string_view text, std::span<const size_t> line_starts, std::span<const uint64_t> line_heads,
            std::span<const Span> alarms);

  std::string_view text() const { return text_; }
  std::span<const Span> alarms() const { return alarm_view_; }
  // The start of every line (0 first, none at the text's end).
  std::span<const size_t> line_starts() const { return line_view_; }
  // ICalHeadOf each line, in the same order.
  std::span<const uint64_t> line_heads() const { return head_view_; }

 private:
  size_t Scan(std::string_view text, bool stop_at_event_end);
  void AddLineStarts(size_t block, uint64_t newlines);

  std::string_view text_;
  std::vector<Span> alarms_;
  std::vector<size_t> line_starts_;  // the first line_count_ hold the starts
  size_t line_count_ = 0;
  // What the object presents: its own scan's results or a View's.
  std::vector<uint64_t> line_heads_;
  std::span<const size_t> line_view_;
  std::span<const uint64_t> head_view_;
  std::span<const Span> alarm_view_;
};

// True when `text` holds one of the bytes of `set`, ASCII only. (The
// library's find_first_of searches the set once per byte of the text; a
// walk asks this of every date it reads.)
constexpr bool HoldsAnyOf(std::string_view text, std::string_view set) {
  uint64_t low = 0;
  uint64_t high = 0;
  for (char c : set) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 64) low |= uint64_t{1} << byte;
    else if (byte < 128) high |= uint64_t{1} << (byte - 64);
  }
  // Without a branch per byte: the texts asked about are short, and which
  // of their bytes match is not predictable.
  uint64_t found = 0;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const uint64_t bits = byte < 64 ? low : byte < 128 ? high : 0;
    found |= bits >> (byte & 63);
  }
  return (found & 1) != 0;
}

// The head of a line or key: its first eight bytes (fewer at the text's
// end, the others zero) as a word loaded from memory holds them, with bit 5
// set in each. An ASCII letter then reads the same in either case, so a line
// whose head differs from a key's in the key's bytes cannot begin with it:
// a lookup compares a word per line, and the whole key only where the word
// matched.
inline constexpr size_t kICalHeadBytes = 8;

constexpr unsigned ICalHeadShift(size_t byte) {
  return std::endian::native == std::endian::little ? static_cast<unsigned>(8 * byte)
                                                    : static_cast<unsigned>(8 * (kICalHeadBytes - 1 - byte));
}

constexpr uint64_t ICalHeadOf(std::string_view text) {
  const size_t count = text.size() < kICalHeadBytes ? text.size() : kICalHeadBytes;
  uint64_t head = 0;
  if (!std::is_constant_evaluated() && count == kICalHeadBytes) {
    std::memcpy(&head, text.data(), kICalHeadBytes);
  } else {
    for (size_t i = 0; i < count; ++i) head |= uint64_t{static_cast<unsigned char>(text[i])} << ICalHeadShift(i);
  }
  return head | 0x2020202020202020;
}

// A property key prepared once for the lookups of a walk (see ICal_GetValue
// for how keys are matched).
struct ICalKey {
  constexpr ICalKey() = default;
  constexpr explicit ICalKey(std::string_view key)
      : text(key), plain(!HoldsAnyOf(key, ":;")), holds_colon(key.find(':') != std::string_view::npos),
        ends_in_colon(!key.empty() && key.back() == ':') {
    const size_t count = key.size() < kICalHeadBytes ? key.size() : kICalHeadBytes;
    for (size_t i = 0; i < count; ++i) head_mask |= uint64_t{0xFF} << ICalHeadShift(i);
    head = ICalHeadOf(key) & head_mask;
    head_decides = key.size() <= kICalHeadBytes;
    for (char c : key) {
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) head_decides = false;
    }
  }

  std::string_view text;
  bool plain = true;          // holds neither ':' nor ';'
  bool holds_colon = false;
  bool ends_in_colon = false;
  uint64_t head = 0;       // ICalHeadOf the key, its own bytes only
  uint64_t head_mask = 0;  // the bits of the key's own bytes
  // The key is all in the head and all letters: a byte matches a letter's
  // head byte only when it is that letter in either case, so a line whose
  // head matches begins with the key.
  bool head_decides = false;
};

// ICal_GetValue's results.
inline constexpr int kICalValueNotFound = 0;
inline constexpr int kICalValueFound = 1;
inline constexpr int kICalValueWithParameters = 2;  // the value still holds "PARAMS:"

// Finds the property line of `key` in the component text and reads its
// value into *value.
//  - A plain key is looked for at the text's start or after a '\n' (any
//    case) followed by ':' or ';'; the earlier line wins. After ';' the
//    result is 2 and the value is "PARAMS:VALUE".
//  - A key that holds ':' or ';' ("FREEBUSY;FBTYPE=BUSY") is looked for as
//    given, at a line start and followed by ':' or ';' (so it does not take
//    a "FREEBUSY;FBTYPE=BUSY-TENTATIVE" line); the result is 2 unless the
//    key holds ':'.
//  - Lines inside BEGIN:VALARM ... END:VALARM are passed over: an alarm's
//    SUMMARY or DESCRIPTION is never the event's.
//  - Blanks and TABs in front of the value are skipped; the value runs to
//    `line_end` (a CR before it dropped). While the value ends with '='
//    (and does not begin with "=?UTF-8?Q?") the '=' is dropped and the next
//    line is appended whatever it begins with: a quoted-printable soft
//    line break. Otherwise a next line that begins with a blank or TAB is
//    appended without it.
//  - Every backslash-'n' becomes CR LF.
// Returns kICalValueNotFound (0, *value emptied), kICalValueFound (1) or
// kICalValueWithParameters (2).
int ICal_GetValue(const ICalComponent& component, std::string_view key, std::string* value,
                  char line_end = '\n');
int ICal_GetValue(std::string_view text, std::string_view key, std::string* value,
                  char line_end = '\n');

// How ICal_GetDecodedValue hands over a quoted-printable value.
inline constexpr int kICalDecodeBytes = 0;         // decoded
inline constexpr int kICalDecodeEncodedWords = 1;  // as "=?charset?Q?...?=" words

// ICal_GetValue, then, for a value with parameters when `decode` is set:
// the value is the text after the first ':' that no backslash precedes
// (empty when there is none). When ENCODING=QUOTED-PRINTABLE stands before
// that ':':
//  - mode kICalDecodeBytes: the value is decoded (empty when it cannot be);
//    with `wide` the decoded UTF-8 becomes UTF-16LE and *is_wide is set;
//  - mode kICalDecodeEncodedWords: each non-empty ';'-separated field (at
//    most 1000) becomes "=?<charset>?Q?<field>?=" with every '?' of the
//    field written "=3F", the charset being the line's CHARSET= parameter
//    or UTF-8.
// Trailing blanks, TABs, CR and LF are removed last (as UTF-16 units from a
// wide value). *is_wide is false unless set above. The result is
// ICal_GetValue's.
int ICal_GetDecodedValue(const ICalComponent& component, std::string_view key, std::string* value,
                         bool decode, int mode, bool wide, bool* is_wide);
int ICal_GetDecodedValue(std::string_view text, std::string_view key, std::string* value,
                         bool decode, int mode, bool wide, bool* is_wide);

// ICal_GetDecodedValue's value without a copy where none is needed: `value`
// views the component's text when the value stands on one line, holds no
// backslash-'n' and is not decoded from quoted-printable; otherwise it views
// `storage`. Not copyable: `value` may point into the object.
struct ICalValueView {
  ICalValueView() = default;
  ICalValueView(const ICalValueView&) = delete;
  ICalValueView& operator=(const ICalValueView&) = delete;

  std::string_view value;
  bool is_wide = false;
  std::string storage;
};
int ICal_ViewDecodedValue(const ICalComponent& component, std::string_view key, bool decode, int mode,
                          bool wide, ICalValueView* view);
int ICal_ViewDecodedValue(const ICalComponent& component, const ICalKey& key, bool decode, int mode, bool wide,
                          ICalValueView* view);

}  // namespace qx
