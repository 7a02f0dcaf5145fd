#pragma once
// Reading and writing the entries of an index document.

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/xml_document.h"

namespace qx {

// The entry whose ID is `id` (the first one, in document order), found as
// "BASEELEMENT/ELEMENT[@ID=\"<id>\"]" finds it, or an empty node. Any id is
// safe, quotes included.
pugi::xml_node FindItemElement(const XmlDocument& document, std::string_view id);

// `text` with every byte below 0x20 other than TAB, LF and CR, and every
// byte from 0x80 to 0xFF, turned into a space. Index text is plain ASCII so
// that no byte can make an index file unreadable to another process.
std::string IndexSafeText(std::string_view text);

// Makes IndexSafeText(text) the element's only content; an empty text
// leaves the element without children. False on an empty node.
bool SetElementText(pugi::xml_node element, std::string_view text);

// The value of the element's first child (its text), empty when it has none.
std::string GetElementText(pugi::xml_node element);

// The first child's text read as a decimal number; 0 when absent.
uint32_t GetElementNumber(pugi::xml_node element);

// The text of `entry`'s child `name`, empty when that child is missing.
std::string GetChildText(pugi::xml_node entry, const char* name);

// Sets the text of `entry`'s child `name`, appending the child when missing.
bool SetChildText(pugi::xml_node entry, const char* name, std::string_view text);

}  // namespace qx
