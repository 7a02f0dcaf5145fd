#pragma once
// Whether a text may be the name of an element or attribute. pugixml writes
// whatever name it is given, so a name that XML forbids (a vCard key that
// begins with a digit or holds a blank) would leave a document that no
// parser, pugixml included, reads back: every name that comes from a file
// is checked here first.

#include <string_view>

namespace qx {

// True when `name` is a Name of XML 1.0 (fifth edition) in valid UTF-8,
// without ':' (the index documents use no namespaces).
bool IsXmlName(std::string_view name);

}  // namespace qx
