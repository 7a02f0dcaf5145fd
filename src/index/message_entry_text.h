#pragma once
// A message entry serialised without a DOM: the bytes the store's serialiser
// prints for the entry BuildMessageEntry makes from the same values (texts
// made index-safe, escapes as the serialiser writes them). A scan that
// builds an index from nothing and the delivery splice write these.

#include <cstdint>
#include <string>
#include <string_view>

#include "index/folder_status.h"
#include "message/message_headers.h"

namespace qx {

// Appends `<ELEMENT ID="..." UID="...">` and the fourteen children of the
// message entry for `file_name`, `uid` and `record` to `out`.
void AppendMessageEntryText(std::string* out, std::string_view file_name, uint32_t uid,
                            const MessageHeaders& record);

// The part of that text after the UID's value (`">` to `</ELEMENT>`), which
// needs no UID and so can be made before the UID is handed out.
void AppendMessageEntryTail(std::string* out, const MessageHeaders& record);
// The part up to the UID's value, and the whole from its pieces.
void AppendMessageEntryHead(std::string* out, std::string_view file_name);
void AppendMessageEntryText(std::string* out, std::string_view file_name, uint32_t uid,
                            std::string_view tail);

// Counts the entry that `record` makes into `status` (CountEntryStatus of
// its FLAGSTATUS and READ as the entry holds them).
void CountMessageEntryStatus(const MessageHeaders& record, FolderStatusRecord status);

}  // namespace qx
