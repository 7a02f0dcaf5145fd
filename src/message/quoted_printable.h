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

}  // namespace qx
