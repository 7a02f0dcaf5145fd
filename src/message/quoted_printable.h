#pragma once
// Quoted-printable values as vCard and iCalendar lines carry them (the
// ENCODING=QUOTED-PRINTABLE parameter): "=" and two hexadecimal digits
// stand for a byte, and "=" at a line's end joins it to the next line.

#include <string>
#include <string_view>

namespace qx {

// The bytes `text` stands for. "=XX" (hexadecimal digits in either case)
// becomes the byte; "=" followed by a line break (CR LF or LF), or by
// nothing, is a soft break and disappears; any other "=" is kept as it is,
// so a value that was never encoded comes back unchanged.
std::string DecodeQuotedPrintable(std::string_view text);

// `bytes` with every byte outside '!' to '~', and '=' itself, written as
// "=XX" (upper-case digits): blanks, tabs and line breaks included, so the
// value stays on one line and keeps its trailing blanks.
std::string EncodeQuotedPrintable(std::string_view bytes);

}  // namespace qx
