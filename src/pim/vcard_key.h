#pragma once
// vCard keys as the contact index keeps them. The text of a line before its
// first ':' is its key ("TEL;CELL;VOICE"); as an attribute name of the
// contact's index element every ';' becomes '_' and then every '=' becomes
// '-' ("TEL_CELL_VOICE", "IM;TYPE=AIM" as "IM_TYPE-AIM"). Writing an element
// back turns every '_' into ';' and every '-' into '=', so a key that held
// '_' or '-' of its own comes back changed ("X-EPOCSECONDNAME" is written
// "X=EPOCSECONDNAME"); other programs of the server read the files so.

#include <string>
#include <string_view>

namespace qx {

// The attribute name of a vCard key, with every byte below 32 other than
// TAB, CR and LF made a blank (which no attribute name may hold).
std::string AttributeNameOfKey(std::string_view key);

// The vCard key an attribute name is written back as.
std::string KeyOfAttributeName(std::string_view name);

// `text` with every byte below 32 other than TAB, CR and LF made a blank, as
// values are kept in the index.
void BlankControlBytes(std::string* text);

// The property name of a key: the text before its first ';' ("PHOTO" of
// "PHOTO;ENCODING=BASE64").
std::string_view PropertyNameOfKey(std::string_view key);

}  // namespace qx
