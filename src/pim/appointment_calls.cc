#include "pim/appointment_calls.h"

#include "pim/appointment_records.h"
#include "remote/forwarding.h"

namespace qx {

uint32_t AddAppointmentEntry(APPOINTMENTRECORD* entry) {
  return ForwardOrRunLocally<"AppointmentAdd">(LocalAppointmentAdd, entry);
}

uint32_t RemoveAppointmentEntry(APPOINTMENTRECORD* entry) {
  return ForwardOrRunLocally<"AppointmentRemove">(LocalAppointmentRemove, entry);
}

}  // namespace qx
