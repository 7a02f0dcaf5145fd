#pragma once
// Slicing the text between two markers out of a string, as the system reads
// small XML and "Name: value" texts without parsing them.

#include <cstddef>

namespace qx {

// Newly allocated (malloc) copy of the text after start up to end (or the
// end of text); skip_blanks skips CR, LF and blanks after start. *next is
// the position after end (or null). Null when start is not found.
char* ExtractBetween(const char* text, const char* start, const char* end, bool skip_blanks,
                     const char** next);

// The first start_tag in text ("" matches at the start); null when none.
// With an end tag (searched from one character after the start tag begins):
// null with out untouched when it is missing, else the text between the two
// tags (cut to size - 1 bytes) in out and the position just after the end
// tag. Without one: the text from the start tag on in out (bounded by size)
// and null.
const char* GetXMLData(const char* text, const char* start_tag, const char* end_tag, char* out,
                       size_t size);

}  // namespace qx
