#pragma once
// The counting functions of the legacy message enumeration. Each works in
// one of two ways. While an enumeration is open in the process (a legacy
// item list exists), they count that list, and the unread and new counts
// make the list the unread elements of the legacy index document, so the
// rest of the enumeration runs over those only, from the thread's current
// position. Otherwise they load the record's folder index on their own
// (never rebuilding it), set the thread's position to 0, count, and leave
// no document and no list behind; an index that does not load counts 0.
// A null record gives 0.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// The number of elements: of the open list, or "BASEELEMENT/ELEMENT".
uint32_t LocalMessageItemListGetLength(MESSAGELISTRECORD* list);

// The number of elements whose READ is not "1".
uint32_t LocalMessageItemListGetUnReadLength(MESSAGELISTRECORD* list);

// While a list is open, the unread count above; otherwise the elements
// matching "BASEELEMENT/ELEMENT[FLAGS='/RECENT']".
uint32_t LocalMessageItemListGetNewLength(MESSAGELISTRECORD* list);

}  // namespace qx
