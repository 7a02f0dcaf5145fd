#include "index/folder_type_handlers.h"

#include <atomic>

#include "index/store_index.h"

namespace qx {

namespace {

struct Slot {
  std::atomic<FolderTypeScan> scan{nullptr};
  std::atomic<FolderTypeDocument> document{nullptr};
};

Slot* SlotFor(uint32_t folder_type) {
  static Slot contacts;
  static Slot calendar;
  if (folder_type == kFolderTypeContacts) return &contacts;
  if (folder_type == kFolderTypeCalendar) return &calendar;
  return nullptr;
}

}  // namespace

void SetFolderTypeHandlers(uint32_t folder_type, FolderTypeHandlers handlers) {
  if (Slot* slot = SlotFor(folder_type)) {
    slot->scan.store(handlers.scan);
    slot->document.store(handlers.document);
  }
}

FolderTypeHandlers FolderTypeHandlersFor(uint32_t folder_type) {
  FolderTypeHandlers handlers;
  if (const Slot* slot = SlotFor(folder_type)) {
    handlers.scan = slot->scan.load();
    handlers.document = slot->document.load();
  }
  return handlers;
}

}  // namespace qx
