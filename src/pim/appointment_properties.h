#pragma once
// Reading and writing one named property of an appointment
// (Appointment_GetProperty, Appointment_SetProperty) through the
// appointment table of store/property_map.h. Indexed properties are
// attributes of the appointment's index element; the file-only ones (BODY,
// VCALENDAR) live in the message file, or, while the message has not been
// written yet, in the element until it is (appointment_save.h).
//
// Stored type 6 is Unix seconds in decimal: read as a FILETIME (type 3) it
// is (seconds + 11644473600) x 10,000,000; a FILETIME is written back as
// (FILETIME - 116444736000000000) / 10,000,000. The Unicode calendar form
// (type 15) is the calendar part with its quoted-printable values decoded
// (vcalendar_text.h). Other types convert as store/property_values.h says.

#include <string_view>

#include "store/item_kinds.h"

namespace qx {

// Result 2 with an allocated value in the caller type, 1 with a pointer
// into the element for a plain-text (type 1) value, 0 when the item has no
// element or the value is absent, -1 for a name neither the appointment
// table nor the context properties (QX_MAILBOX, ...) know.
// REQUIRES: the StoreIndex mutex of item.index is held (when set).
PropertyRead Appointment_GetProperty(const ItemRef& item, std::string_view name);

// Converts `value` from the property's caller type to its stored form and
// writes it: an indexed property becomes the element's attribute, and the
// element is marked pending (and the index modified) so that saving writes
// the message; a file-only property is written into the message file at
// once (its body or calendar part), or kept in the element while there is
// no file. A FILETIME outside the 32-bit range of Unix seconds cannot be
// converted: "No Conversion Available" is printed and nothing is stored
// (kBadValue).
// REQUIRES: the StoreIndex mutex of item.index is held (when set).
PropertyWrite Appointment_SetProperty(const ItemRef& item, std::string_view name, const void* value);

}  // namespace qx
