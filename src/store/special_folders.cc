#include "store/special_folders.h"

#include "message/text_compare.h"
#include "store/store_folder_record.h"

namespace qx {

namespace {

constexpr const char* kSpecialFolderNames[] = {
    "Inbox",    "Outbox", "Deleted Items", "Sent Items", "Calendar",
    "Contacts", "Drafts", "Journal",       "Notes",      "Tasks",
};

}  // namespace

const char* CanonicalSpecialFolderName(std::string_view name) {
  for (const char* special : kSpecialFolderNames) {
    if (EqualsNoCase(name, special)) return special;
  }
  return nullptr;
}

void CanonicaliseSpecialFolderName(STOREFOLDER* folder) {
  if (!IsTopLevelParent(FieldText(folder->parent))) return;
  if (const char* canonical = CanonicalSpecialFolderName(FieldText(folder->name))) {
    SetStoreFolderName(folder, canonical);
  }
}

uint32_t FolderTypeOfName(const char* name) {
  if (name == nullptr) return 2;
  std::string_view text(name);
  while (!text.empty() && (text[0] == '/' || text[0] == '\\')) text.remove_prefix(1);
  if (EqualsNoCase(text, "CALENDAR")) return 2;
  if (EqualsNoCase(text, "TASKS")) return 3;
  if (EqualsNoCase(text, "CONTACTS")) return 1;
  return 0;
}

}  // namespace qx
