#pragma once
// The provider operations as the library's own code makes them (saving and
// deleting appointment messages): on the remote administration host while
// forwarding is active, else here, exactly as the exported calls do.

#include <cstdint>

#include "qxstore.h"

namespace qx {

uint32_t AddAppointmentEntry(APPOINTMENTRECORD* entry);
uint32_t RemoveAppointmentEntry(APPOINTMENTRECORD* entry);

}  // namespace qx
