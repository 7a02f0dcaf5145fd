#pragma once
// Replacing one line of a contact's vCard file (Contact_RewriteFileLine),
// every other line kept byte for byte. The new file is written as
// "<dir>\_<name>" (a name no scan takes for a contact, and which other
// programs of the server know) and put in place by the durable replace.

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// Which lines a rewrite replaces.
enum class LineMatch {
  // Lines that begin with the key and ':' (any case): the key names one
  // exact set of parameters.
  kKey,
  // Every line of the key's property (the key's text before ';'), whatever
  // its parameters: a contact has one note and one photo, and a card written
  // by other software ("NOTE:", "PHOTO;ENCODING=b;TYPE=JPEG:") must not end
  // up with a second one that readers, which take the first, never see.
  kProperty,
};

// The temporary file of a rewrite of `path`: its name with '_' in front.
std::string RewriteTemporaryPath(std::string_view path);

// Contact_RewriteFileLine: writes "<key>:<value>\r\n" in place of the
// matching lines (each one that occurs before the end of the card) of the
// vCard file at `path`. A replaced line takes the lines that continue it
// with it: folded lines, and after a quoted-printable soft break the line
// it joins. From the first line that begins with "END:VCARD" or is empty,
// the rest of the file is copied as it is; when nothing was replaced before
// it, the new line goes in just before it, or at the end of a file without
// one. A file that does not exist is created holding the one line.
// REQUIRES: `key` and `value` hold no line break.
//
// Results as other programs expect them: 1 also when the rewrite failed
// for want of the temporary file ("Error: Could not open vcf file for
// writing. Error Code: %ld\r\n") or of the replace ("Could not remove
// original copy of vcf file. Check if file has readonly set or if there are
// permissions issues\r\n"; the file is then unchanged); 0 only when the
// file exists but cannot be read ("Error: Could not open vcf file for
// input. Error Code: %ld\r\n").
uint32_t Contact_RewriteFileLine(std::string_view path, std::string_view key,
                                 std::string_view value, LineMatch match = LineMatch::kKey);

}  // namespace qx
