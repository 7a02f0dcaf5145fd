#pragma once
// Property lines of an iCalendar component ("SUMMARY:Lunch",
// "DTSTART;TZID=Europe:20110315T093000", folded onto several lines) found by
// key and read out with their parameters decoded.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx {

// A component's text with its lines indexed once: where each line begins,
// and the spans of its VALARM blocks (from a "BEGIN:VALARM" to the end of
// the "END:VALARM" after it, or to the text's end). A walk reads several
// properties of every event; each read then looks only at line starts.
class ICalComponent {
 public:
  ICalComponent() = default;
  // `text` must outlive the object (or the next Reset).
  explicit ICalComponent(std::string_view text);
  // Indexes another text, keeping the memory of the last.
  void Reset(std::string_view text);

  std::string_view text() const { return text_; }
  const std::vector<size_t>& line_starts() const { return line_starts_; }
  const std::vector<std::pair<size_t, size_t>>& alarms() const { return alarms_; }

 private:
  std::string_view text_;
  std::vector<size_t> line_starts_;
  std::vector<std::pair<size_t, size_t>> alarms_;
};

// True when `text` holds one of the bytes of `set`. (A plain loop: the
// library's find_first_of searches the set once per byte of the text.)
constexpr bool HoldsAnyOf(std::string_view text, std::string_view set) {
  for (char c : text) {
    for (char wanted : set) {
      if (c == wanted) return true;
    }
  }
  return false;
}

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

}  // namespace qx
