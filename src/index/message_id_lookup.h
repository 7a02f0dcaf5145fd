#pragma once
// Reading and writing the index values of one message, found by its file
// name, through the message header record.

#include <cstdint>
#include <string_view>

#include "message/message_headers.h"
#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

// Which children SetStoreItemByMessageId writes.
enum MessageFieldSelector : uint32_t {
  kSelectAllFields = 0,
  kSelectFlags = 1,  // FLAGSTATUS and READ
  kSelectSubject = 2,
  kSelectMessageDate = 3,
  kSelectFrom = 4,
  kSelectTo = 5,
  kSelectCc = 6,
  kSelectImportance = 7,
};

// GetStoreItemByMessageID: fills `record` from the children FROM, TO, CC,
// SUBJECT, RECEIVED, MESSAGEDATE, SIZE, ATTACHMENTS, IMPORTANCE and
// FLAGSTATUS of the entry whose ID is `file_name`; `mode` is not read. 1
// found; 0 not found (record untouched). A null object prints "WARNING!:
// StoreIndex is NULL when passed to GetStoreItemByMessageID\n" and gives 0.
uint32_t GetStoreItemByMessageId(StoreIndex* index, std::string_view file_name, uint32_t mode,
                                 MessageHeaders* record);

// SetStoreItemByMessageID: writes the selected children of the entry whose
// ID is `file_name` from `record` (an absent child is created). With
// selector 0 or 1, FLAGSTATUS takes the record's flag word list and READ
// becomes "1" when that list holds "\SEEN", else "0". The object's modified
// flag is left alone. 1 when the entry was found; 0 otherwise, and for an
// unknown selector. A null object prints "WARNING!: StoreIndex is NULL when
// passed to SetStoreItemByMessageID\n" and gives 0.
uint32_t SetStoreItemByMessageId(StoreIndex* index, std::string_view file_name, uint32_t selector,
                                 const MessageHeaders& record);

// What selector 1 writes, on an entry already found: FLAGSTATUS becomes
// `flag_words` and READ "1" when they hold "\SEEN", else "0".
void SetEntryFlagWords(pugi::xml_node entry, std::string_view flag_words);

}  // namespace qx
