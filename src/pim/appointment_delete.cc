#include "pim/appointment_delete.h"

#include <algorithm>
#include <string>

#include "frame/store_paths.h"
#include "index/index_format.h"
#include "message/item_file_name.h"
#include "pim/appointment_calls.h"
#include "pim/appointment_headers.h"
#include "pim/appointment_records.h"
#include "platform/file.h"
#include "qxstore.h"

namespace qx {

namespace {

constexpr size_t kIdLimit = 1023;

}  // namespace

void Appointment_Delete(const ItemRef& item) {
  if (!item.entry) return;
  const char* id_text = AttributeValue(item.entry, kIdAttribute);
  if (id_text == nullptr || *id_text == '\0') return;
  std::string id(id_text);
  id.resize(std::min(id.size(), kIdLimit));
  if (IsPlainFileName(id)) platform::DeleteFile(JoinStorePath(item.folder_directory, id));
  const ProviderEntry entry{ElementStart(item.entry),
                            ElementEnd(item.entry), id};
  APPOINTMENTRECORD record = MakeAppointmentRecord(item.postoffice, item.mailbox, entry);
  RemoveAppointmentEntry(&record);
}

}  // namespace qx
