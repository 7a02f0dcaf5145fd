#include "legacy/message_counts.h"

#include <string>

#include "frame/thread_state.h"
#include "legacy/legacy_item_list.h"
#include "legacy/legacy_state_lock.h"

namespace qx {

namespace {

uint32_t NarrowOpenListToUnread() {
  LegacyEnumeration& enumeration = ProcessLegacyEnumeration();
  enumeration.list.Select(enumeration.document, kUnreadElementsQuery);
  return static_cast<uint32_t>(enumeration.list.size());
}

uint32_t CountInFolderIndex(const MESSAGELISTRECORD& list, const char* query) {
  LegacyEnumeration& enumeration = ProcessLegacyEnumeration();
  uint32_t count = 0;
  if (LoadLegacyIndexDocument(MessageListFolderDirectory(list))) {
    SetEnumerationCursor(0);
    count = static_cast<uint32_t>(SelectNodes(enumeration.document.dom(), query).size());
  }
  enumeration.document = XmlDocument();
  return count;
}

}  // namespace

uint32_t LocalMessageItemListGetLength(MESSAGELISTRECORD* list) {
  if (list == nullptr) return 0;
  LegacyStateLock lock;
  const LegacyItemList& items = ProcessLegacyEnumeration().list;
  if (items.exists()) return static_cast<uint32_t>(items.size());
  return CountInFolderIndex(*list, kAllElementsQuery);
}

uint32_t LocalMessageItemListGetUnReadLength(MESSAGELISTRECORD* list) {
  if (list == nullptr) return 0;
  LegacyStateLock lock;
  if (ProcessLegacyEnumeration().list.exists()) return NarrowOpenListToUnread();
  return CountInFolderIndex(*list, kUnreadElementsQuery);
}

uint32_t LocalMessageItemListGetNewLength(MESSAGELISTRECORD* list) {
  if (list == nullptr) return 0;
  LegacyStateLock lock;
  if (ProcessLegacyEnumeration().list.exists()) return NarrowOpenListToUnread();
  return CountInFolderIndex(*list, kNewElementsQuery);
}

}  // namespace qx
