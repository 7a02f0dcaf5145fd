#pragma once
// Reading values out of a message file's MIME structure: one header's
// value, a parameter of a header line, and the text of the part a body or
// calendar property asks for.
//
// Lines are read in pieces of at most 2047 bytes (a longer line comes back
// in pieces, each examined as a line of its own); a trailing CR LF or LF is
// removed before a line is examined, and every substring test ignores case.
// No Content-Transfer-Encoding is applied: a quoted-printable or base64 part
// comes back as it is stored, and callers that show it decode it themselves.
//
// The readers go through the file once without a share lock
// (File::OpenForReadingThrough): message files are only ever replaced whole,
// by a rename over their names, so a reader sees the old message or the new
// one, never a mix, and a file held exclusively elsewhere is read all the
// same. A directory under the name reads as an unopened file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The value buffer of the content properties holds 32768 bytes with its
// NUL: longer text is cut to this many bytes.
inline constexpr size_t kContentValueLimit = 32767;

// The value of header `name` in the header block (up to the first empty
// line) of the file at `path`: the first line beginning with the name and
// ':' starts it (the text after the colon, leading CR, LF and blanks
// skipped, tabs kept); each following line that begins with a blank or a
// tab is appended as it stands, its line end removed. The value is cut to
// `size` - 1 bytes. 1 when the header was found; 0 when it was not or the
// file cannot be opened (then "Error: Could not open message file for input.
// Error Code: %ld\r\n" is printed with the system's error code).
uint32_t ReadHeaderValue(std::string_view path, std::string_view name, std::string* value,
                         size_t size);

// The value of parameter `name` in a header line: the first occurrence of
// the name followed (after blanks) by '=' ("boundary" in "x-boundary: y" is
// passed over and the search goes on), then blanks skipped. A quoted value
// runs to the next double quote (leading CR, LF and blanks inside skipped;
// without a closing quote, to the end of the line); an unquoted one up to
// the first ';', blank, tab, CR or LF. Nothing when the line has none.
std::optional<std::string> GetHeaderParameter(std::string_view line, std::string_view name);

// The part of the file at `path` that a content property names, into
// *value (cut to kContentValueLimit bytes, line ends kept as stored):
// PR_SUBJECT the Subject header (ReadHeaderValue); PR_BODY the first
// text/plain part; PR_BODY_HTML the first text/html part; any other name
// (PR_BNP_vCalendar, its Unicode form) the first text/calendar part.
//
// The walk: header lines mentioning multipart/mixed, multipart/alternative
// or multipart/related set the mixed or the alternative state; a nested
// multipart header drops the boundary known so far, and while no boundary
// is known the lines of a multipart message are searched for one. A line
// mentioning the wanted type marks the part found. At an empty line: a
// found part is copied up to (not including) the first line holding the
// boundary, or to the end of the file; in the mixed state the walk skips
// past the next boundary line and reads part headers; in the alternative
// state the lines that follow are read as part headers; in a message with
// no multipart state (a single part that does not name the wanted type, or
// multipart/report) the rest of the file is the value. So a text/plain
// message asked for PR_BODY_HTML gives its whole body, and a multipart
// message whose boundary never appears gives an empty value.
//
// Always 1; a file that cannot be opened gives an empty value.
uint32_t ReadContentValue(std::string_view path, std::string_view property_name,
                          std::string* value);

// The line without its trailing CR LF or LF.
std::string_view WithoutLineEnd(std::string_view line);

}  // namespace qx
