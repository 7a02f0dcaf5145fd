#pragma once
// The index file read as bytes, for transactions that change a few entries
// of a large index without building its DOM. A text is recognised only
// when it is exactly what the store's serialiser writes for the document
// it parses to: one BASEELEMENT root carrying LASTUID, no declaration,
// comment, CDATA or processing instruction, attributes as ` NAME="value"`,
// "<X/>" for an element without content, no whitespace-only text, and
// only the escapes the serialiser itself writes; a root without content
// ("<BASEELEMENT LASTUID="0"/>") is not recognised. For such a text, splicing
// serialised entries into its bytes gives the very bytes that a load, the
// same change and a save would write. Anything else (another program's
// spacing, a damaged file) is not recognised and is left to the DOM.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// One child element of the root, as raw (still escaped) views into the text.
struct IndexTextChild {
  size_t begin = 0;  // offset of its '<'
  size_t end = 0;    // offset just past its last '>'
  bool is_entry = false;         // named ELEMENT
  bool has_id = false;           // carries an ID attribute
  std::string_view id;           // the first ID attribute's value
  std::string_view uid;          // the first UID attribute's value ("" when none)
  std::string_view flag_status;  // first text of its first FLAGSTATUS child
  std::string_view read;         // first text of its first READ child
};

struct IndexText {
  std::string_view bytes;
  size_t last_uid_begin = 0;  // the first LASTUID attribute's value
  size_t last_uid_end = 0;
  size_t content_end = 0;     // offset of "</BASEELEMENT>"
  std::vector<IndexTextChild> children;
};

// The structure of `bytes` when it is recognised (above); nothing otherwise.
// The views point into `bytes`.
std::optional<IndexText> RecogniseIndexText(std::string_view bytes);

// The value of a raw view from a recognised text, escapes decoded.
std::string DecodeIndexText(std::string_view raw);

}  // namespace qx
