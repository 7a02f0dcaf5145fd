// The calendar provider family of the exported interface: each call runs on
// the remote administration host while forwarding is active, else here.

#include "pim/appointment_calls.h"
#include "pim/appointment_records.h"
#include "qxstore.h"
#include "remote/forwarding.h"

extern "C" {

QXSTORE_API uint32_t AppointmentAdd(APPOINTMENTRECORD* entry) {
  return qx::AddAppointmentEntry(entry);
}

QXSTORE_API uint32_t AppointmentRemove(APPOINTMENTRECORD* entry) {
  return qx::RemoveAppointmentEntry(entry);
}

QXSTORE_API uint32_t AppointmentEdit(APPOINTMENTRECORD* old_entry, APPOINTMENTRECORD* new_entry) {
  return qx::ForwardOrRunLocally<"AppointmentEdit">(qx::LocalAppointmentEdit, old_entry, new_entry);
}

QXSTORE_API uint32_t AppointmentGet(APPOINTMENTRECORD* entry) {
  return qx::ForwardOrRunLocally<"AppointmentGet">(qx::LocalAppointmentGet, entry);
}

QXSTORE_API uint32_t AppointmentFindFirst(APPOINTMENTRECORD* entry) {
  return qx::ForwardOrRunLocally<"AppointmentFindFirst">(qx::LocalAppointmentFindFirst, entry);
}

QXSTORE_API uint32_t AppointmentFindNext(APPOINTMENTRECORD* entry) {
  return qx::ForwardOrRunLocally<"AppointmentFindNext">(qx::LocalAppointmentFindNext, entry);
}

}  // extern "C"
