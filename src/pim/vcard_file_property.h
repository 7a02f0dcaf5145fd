#pragma once
// Reading one property straight from a contact's vCard file
// (Contact_ReadFileProperty): the file-only properties, which the index
// never holds (the note, the photo, the whole card).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The type under which a save reads the photo it keeps: with the line
// breaks and blanks of its folding, so it is written back as it was.
inline constexpr uint32_t kPhotoWithFolding = 2000;

// The value of property `name` in the vCard file at `path`, read as `type`
// asks (a property type code, or kPhotoWithFolding); nothing when the file
// cannot be read.
//  - A name holding "VCARD" (any case): the whole file.
//  - "PR_ATTACHMENT_CONTACTPHOTO" or "PHOTO": the first line that begins
//    with "PHOTO" after a line break (any case), with the folded lines that
//    follow it; the value is the text after its first ':', the folded lines
//    joined without their line breaks and leading blanks (kept with
//    kPhotoWithFolding).
//  - Any other name: the first line (BEGIN and END passed over) whose key
//    begins with "NOTE;", or whose transformed key (vcard_key.h) is `name`
//    ignoring case; its value runs from the first ':' to the first CR, at
//    most 2047 bytes. Folded lines that follow it, and for a
//    quoted-printable line the lines its soft breaks ("=" at the end) join
//    to it, are joined first, so a note written by other software on
//    several lines reads whole (and a save keeps it whole). A key holding
//    QUOTED-PRINTABLE gives the decoded value, except for type 14, which
//    gets the encoded value as it is and a plain value encoded instead.
// A property the file does not have reads as an empty value.
std::optional<std::string> Contact_ReadFileProperty(std::string_view path, std::string_view name,
                                                    uint32_t type);

}  // namespace qx
