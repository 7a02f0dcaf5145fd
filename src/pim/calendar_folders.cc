#include "pim/calendar_folders.h"

#include <string>

#include "folder/folder_types.h"
#include "frame/store_paths.h"
#include "index/folder_type_handlers.h"
#include "index/store_index.h"
#include "message/item_file_name.h"
#include "pim/appointment_delete.h"
#include "pim/appointment_headers.h"
#include "pim/appointment_index.h"
#include "pim/appointment_properties.h"
#include "pim/appointment_rebuild.h"
#include "pim/appointment_save.h"
#include "store/property_map.h"

namespace qx {

namespace {

// An appointment opened alone: its element as indexing builds it, its
// provider times taken from its own X-StartTime and X-FinishTime.
bool LoadAppointmentItem(StoreIndex* index, std::string_view folder_directory,
                         std::string_view item_id, pugi::xml_node* entry) {
  if (!IsPlainFileName(item_id)) return false;
  const pugi::xml_node root = HeldDocument(index).DocumentElement();
  const pugi::xml_node element =
      BuildAppointmentElement(root, {0, 0, std::string(item_id)}, JoinStorePath(folder_directory, item_id));
  if (!element) return false;
  SetAttribute(element, kStartAttribute, std::to_string(ElementStart(element)));
  SetAttribute(element, kEndAttribute, std::to_string(ElementEnd(element)));
  *entry = element;
  return true;
}

bool SaveAppointmentItem(const ItemRef& item) { return Appointment_Save(item) == 1; }

const ItemKind kAppointmentKind{
    .table = PropertyTableFor(kFolderTypeCalendar),
    .default_component = DefaultComponentFor(kFolderTypeCalendar),
    .get_property = Appointment_GetProperty,
    .set_property = Appointment_SetProperty,
    .load_item = LoadAppointmentItem,
    .write_item = SaveAppointmentItem,
    .remove_item = Appointment_Delete,
};

}  // namespace

void RegisterCalendarFolders() {
  RegisterItemKind(kFolderTypeCalendar, &kAppointmentKind);
  SetFolderTypeHandlers(kFolderTypeCalendar, {ScanCalendarFolder, OpenCalendarDocument});
}

}  // namespace qx
