#pragma once
// Quoted-printable text (RFC 2045) as vCard and iCalendar lines carry it
// after ENCODING=QUOTED-PRINTABLE: "=" and two hexadecimal digits stand for
// one byte, and "=" at a line end is a soft break that joins two lines.

#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The bytes `text` stands for. Hexadecimal digits are read in either case;
// a soft break ("=" before CR LF or LF) is removed. Nothing when an "=" is
// followed by neither two hexadecimal digits nor a line end: such a text
// was not written by a quoted-printable encoder.
std::optional<std::string> DecodeQuotedPrintable(std::string_view text);

// The same for values other programs write carelessly, as contact cards
// are read: an "=" followed by neither two hexadecimal digits nor a line
// end is kept as it is, and one ending the text is the soft break it was
// cut at and disappears, so a value that was never encoded comes back
// unchanged.
std::string DecodeQuotedPrintableLeniently(std::string_view text);

// `bytes` with every byte outside '!' to '~', and '=' itself, written as
// "=XX" (upper-case digits): blanks, tabs and line breaks included, so the
// value stays on one line and keeps its trailing blanks.
std::string EncodeQuotedPrintable(std::string_view bytes);

}  // namespace qx
