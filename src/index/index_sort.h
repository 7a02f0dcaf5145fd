#pragma once
// The sort step every open, a save with mode 20 and a checked insertion run
// once the document is in place. Entries are kept in order where they are
// made (the scan merges in name order, an insertion places its entry by
// ID), so the step leaves the order alone; for mail folders it passes
// through the StoreIndex mutex, so it cannot overlap a load, scan or save
// of the same object in this process.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// StoreIndex_Sort. Mail folders: under the StoreIndex mutex (which the
// calling thread may already hold), SortDOM; 0 when that gave 0, else 1.
// Contacts, calendar and groups: DuplicateDOM, without the mutex. Other
// types: SortDOM, without the mutex. A null object prints "WARNING!:
// StoreIndex is NULL when passed to StoreIndex_Sort\n" and gives 0.
uint32_t SortStoreIndex(StoreIndex* index);

// 1 for an object, the document unchanged; a null object prints "WARNING!:
// StoreIndex is NULL when passed to DuplicateDOM\n" (or "... to SortDOM\n")
// and gives 0.
uint32_t DuplicateDOM(StoreIndex* index);
uint32_t SortDOM(StoreIndex* index);

}  // namespace qx
