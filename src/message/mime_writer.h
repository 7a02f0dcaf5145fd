#pragma once
// Writing a new body or calendar text into a message file. The message is
// copied into "_" + its name in the same folder with the text in place, and
// the copy replaces the message only once it is complete.
//
// A message is multipart when a header line mentions multipart/mixed; its
// boundary is the first boundary="..." (quoted) of a header line from there
// on. A single-part message that gets a calendar text becomes a two-part
// multipart/mixed message with the fixed boundary below, its old body the
// first part. Every line written ends with CR LF; lines are copied whole,
// however long.

#include <string_view>

namespace qx {

// The boundary of the multipart/mixed messages this writer makes.
inline constexpr std::string_view kFixedBoundary = "----------677C251E373B0A";

// Replaces, in `folder_dir\item_id`, the calendar part when `field` is
// "VCALENDAR" (any case), else the plain-text body:
//  - multipart: the header and every line up to and including the empty
//    line after the first line mentioning text/calendar (text/plain for a
//    body) that follows the first boundary line are kept; the new text and
//    CR LF replace the part's old content up to its next boundary line;
//    the rest follows unchanged. A message without such a part gets the
//    text at its end, after everything it held.
//  - single part, calendar: the header lines stay (a Content-Type among
//    them), followed by a multipart/mixed header on kFixedBoundary, a
//    text/plain part holding the old body and a text/calendar part holding
//    the text.
//  - single part, body: the header lines stay and the text replaces the
//    old body.
// A body text goes through QEncodeWord first. When the copy cannot be
// created, read or swapped in, "Warning: Unable to update message body for
// file %s\n" is printed with the copy's path and the message is left as it
// was. True when the message was replaced. (The system's own result for
// this routine is 0 in every case; nothing outside the store sees it.)
bool WriteContentValue(std::string_view folder_dir, std::string_view item_id,
                       std::string_view field, std::string_view text);

}  // namespace qx
