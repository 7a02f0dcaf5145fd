#pragma once
// Finding one entry of a held index document: by its file name (the ID
// attribute) or by the value of one of its children. The entry found is
// handed to the caller, who keeps it as the current item.

#include <cstdint>
#include <string_view>

#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

// The entry whose ID is `id` ("BASEELEMENT/ELEMENT[@ID='<id>']") into
// *entry. 1 found; 0 when there is none (or no document), *entry untouched.
uint32_t SelectEntryById(const StoreIndex* index, pugi::xml_node* entry, std::string_view id);

// The first entry whose child `field` holds `value`. Without ignore_case the
// match is exact, as "BASEELEMENT/ELEMENT[<field>='<value>']" selects it;
// with it the first 259 bytes of each entry's child text are compared
// without regard to case. 1 found; 0 when there is none (or no document),
// *entry untouched.
uint32_t SelectEntryByField(const StoreIndex* index, pugi::xml_node* entry, std::string_view field,
                            std::string_view value, bool ignore_case);

}  // namespace qx
