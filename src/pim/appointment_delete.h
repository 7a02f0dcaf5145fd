#pragma once
// Deleting an appointment (Appointment_Delete): its message file and its
// provider entry go; its index element is removed by the index delete of
// the store-item interface that calls this, so that every thread's handles
// on the index learn of it.

#include "store/item_kinds.h"

namespace qx {

// Deletes "<folder>\<ID>" (an ID that is not a plain file name deletes no
// file) and removes the provider entry of the element's times (STARTIME or
// START, FINISHTIME or END) and ID with AppointmentRemove. An item without
// element or ID is left alone.
void Appointment_Delete(const ItemRef& item);

}  // namespace qx
