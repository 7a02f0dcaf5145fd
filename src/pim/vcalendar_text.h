#pragma once
// The calendar part of an appointment in its Unicode calendar form
// (PR_BNP_vCalendar_UNICODE, value type 15): the vCalendar text with its
// quoted-printable property values decoded, so that a reader needs no
// decoder of its own.

#include <string>
#include <string_view>

namespace qx {

// `text` with every property line whose parameters (the text before its
// first ':') hold "ENCODING=QUOTED-PRINTABLE" (any case) rewritten: its
// value, joined across soft line breaks ('=' at a line's end), is decoded;
// each line break of the decoded value is written as the escape "\n"
// followed by a folded line (CR LF and a blank); and
// "ENCODING=QUOTED-PRINTABLE;" (or, as the last parameter,
// ";ENCODING=QUOTED-PRINTABLE") is removed from the parameters. An '='
// that starts no valid escape stays as it is. Other lines are kept; every
// line written ends with CR LF, except a last line that had no line end.
std::string DecodeCalendarText(std::string_view text);

}  // namespace qx
