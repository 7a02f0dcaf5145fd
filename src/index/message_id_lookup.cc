#include "index/message_id_lookup.h"

#include <cstdlib>
#include <string>

#include "index/index_elements.h"
#include "index/held_index_state.h"
#include "index/index_format.h"
#include "index/store_index.h"
#include "message/flag_words.h"
#include "platform/diagnostics.h"

namespace qx {

namespace {

pugi::xml_node FindEntry(const StoreIndex* index, std::string_view file_name) {
  const XmlDocument document = HeldDocument(index);
  if (!document) return pugi::xml_node();
  return FindItemElement(document, file_name);
}

// Sets one child of the entry of `file_name` and notes the change.
void SetNotedChild(const StoreIndex* index, std::string_view file_name, pugi::xml_node entry,
                   const char* child, std::string_view text) {
  SetChildText(entry, child, text);
  NoteEntryChildSet(index, file_name, child);
}

bool Selected(uint32_t selector, MessageFieldSelector field) {
  return selector == kSelectAllFields || selector == field;
}

}  // namespace

uint32_t GetStoreItemByMessageId(StoreIndex* index, std::string_view file_name,
                                 uint32_t /*mode*/, MessageHeaders* record) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to GetStoreItemByMessageID\n");
    return 0;
  }
  if (record == nullptr) return 0;
  StoreIndexLock lock(index);
  const pugi::xml_node entry = FindEntry(index, file_name);
  if (!entry) return 0;
  record->sender = GetChildText(entry, kFromElement);
  record->recipients = GetChildText(entry, kToElement);
  record->copy_recipients = GetChildText(entry, kCcElement);
  record->subject = GetChildText(entry, kSubjectElement);
  record->received_date = GetChildText(entry, kReceivedElement);
  record->message_date = GetChildText(entry, kMessageDateElement);
  record->file_size = GetElementNumber(entry.child(kSizeElement));
  record->has_attachments = GetElementNumber(entry.child(kAttachmentsElement));
  record->importance = static_cast<int32_t>(
      std::strtol(GetChildText(entry, kImportanceElement).c_str(), nullptr, 10));
  record->flag_words = GetChildText(entry, kFlagStatusElement);
  return 1;
}

uint32_t SetStoreItemByMessageId(StoreIndex* index, std::string_view file_name, uint32_t selector,
                                 const MessageHeaders& record) {
  if (index == nullptr) {
    platform::DiagPrintf("WARNING!: StoreIndex is NULL when passed to SetStoreItemByMessageID\n");
    return 0;
  }
  if (selector > kSelectImportance) return 0;
  StoreIndexLock lock(index);
  pugi::xml_node entry = FindEntry(index, file_name);
  if (!entry) return 0;
  const auto set = [&](const char* child, std::string_view text) {
    SetNotedChild(index, file_name, entry, child, text);
  };
  if (Selected(selector, kSelectFlags)) {
    set(kFlagStatusElement, record.flag_words);
    set(kReadElement, ListHasFlagWord(record.flag_words, kFlagSeen) ? "1" : "0");
  }
  if (Selected(selector, kSelectSubject)) set(kSubjectElement, record.subject);
  if (Selected(selector, kSelectMessageDate)) set(kMessageDateElement, record.message_date);
  if (Selected(selector, kSelectFrom)) set(kFromElement, record.sender);
  if (Selected(selector, kSelectTo)) set(kToElement, record.recipients);
  if (Selected(selector, kSelectCc)) set(kCcElement, record.copy_recipients);
  if (Selected(selector, kSelectImportance)) set(kImportanceElement, std::to_string(record.importance));
  return 1;
}

void SetEntryFlagWords(pugi::xml_node entry, std::string_view flag_words) {
  SetChildText(entry, kFlagStatusElement, flag_words);
  SetChildText(entry, kReadElement, ListHasFlagWord(flag_words, kFlagSeen) ? "1" : "0");
}

}  // namespace qx
