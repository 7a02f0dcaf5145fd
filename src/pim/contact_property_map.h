#pragma once
// The contact property map (Contact_MapProperty): how a property name of a
// contact item reaches its value. The entries common to every item kind
// (QX_ITEM_ID as the element's "@ID", QX_ITEM_CLASS as "!CLASS",
// QX_ITEM_MODIFIEDDATE) come first, then the contact entries. An entry's
// field is the index attribute (a transformed vCard key, vcard_key.h) that
// holds the value, its component the 1-based ';'-separated field of that
// value (vCard 2.1: N is family;given;additional;prefix, ADR is post-office
// box;extended;street;locality;region;postal code;country, ORG is
// organisation;unit), 1 when the value is not structured.
//
// This map is what reads and writes of contact properties use. The types it
// gives callers are those StoreItemProperty_GetType answers from the
// contact table of store/property_map.h; the two differ in one field on
// purpose: this map reads PR_ICQ from "IM_TYPE-ICQ" (the attribute the line
// "IM;TYPE=ICQ:" gives), while that table keeps its historical
// "IM_TYPE=ICQ".

#include <optional>
#include <string_view>

#include "store/property_map.h"

namespace qx {

// File-only properties (the note, the photo, the whole card) are held only
// in the vCard file, never in the index: their entries carry the content
// source.
inline bool IsFileOnly(const PropertyMapEntry& entry) { return entry.source == kSourceContent; }

// The entry for `name` (without regard to case); nothing for any other name.
std::optional<PropertyMapEntry> Contact_MapProperty(std::string_view name);

}  // namespace qx
