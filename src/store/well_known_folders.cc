#include "store/well_known_folders.h"

#include "platform/text_compare.h"
#include "store/store_folder_record.h"

namespace qx {

using platform::EqualsNoCase;

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
  if (!IsTopLevelParent(RecordText(folder->parent))) return;
  if (const char* canonical = CanonicalSpecialFolderName(RecordText(folder->name))) {
    SetRecordText(folder->name, canonical);
  }
}

}  // namespace qx
