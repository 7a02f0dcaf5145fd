#pragma once
// Building a folder index entry (ELEMENT) for a message file: ID and UID
// attributes and the fourteen message children, from the file's headers.

#include <cstdint>
#include <string>
#include <string_view>

#include "xml/xml_document.h"
#include "message/message_headers.h"
#include "message/message_uid.h"
#include "platform/file.h"

namespace qx {

// A folder's UID validity: the low 32 bits of its directory's creation
// time, 0 when the directory cannot be found. It must never change while
// the folder lives, or every UID in it is renumbered.
uint32_t FolderUidValidity(std::string_view folder_dir);

// FLAGSTATUS of a new entry: "\RECENT" when the file carried no flag words,
// else its flag words with "\SEEN" (read) or "\RECENT" (unread) added.
std::string FlagStatusForNewEntry(const MessageHeaders& record);

// Adds an entry for `file_name` with `uid` and the children from `record`,
// under `root` before `before` (appended when `before` is empty or not a
// child of root). Returns the entry, empty on failure.
pugi::xml_node BuildMessageEntry(pugi::xml_node root, pugi::xml_node before,
                                 std::string_view file_name, uint32_t uid,
                                 const MessageHeaders& record);

// What a listing of the folder already told about a message file, which
// spares the read a second look: its last-write stamp (0: not known) and the
// folder kept open (null: the file is opened by its path).
struct ListedFile {
  uint32_t stamp = 0;
  const platform::Directory* folder = nullptr;
  // The listing gave the name alone: the size passed is 0, and the size and
  // stamp are read from the open file.
  bool name_only = false;
};

// What a new entry for a message file would hold.
struct MessageEntrySource {
  MessageHeaders headers;
  UidAssignment uid;
};

// The read of `folder_dir\file_name` that an entry is made or refreshed
// from (X-UID read when UID branding is on, attachments looked for in the
// body), without handing out a UID. Reads of different files may run on
// several threads at once once UidBrandingEnabled() has been asked on one.
// False when the file cannot be read.
bool ReadEntryHeaders(std::string_view folder_dir, std::string_view file_name, uint32_t file_size,
                      uint32_t uid_validity, const ListedFile& listed, MessageHeaders* record);

// Reads `folder_dir\file_name` for a new entry (X-UID read when UID branding
// is on, attachments looked for in the body) and gives it its UID, advancing
// `*last_uid` as the assignment rule says. The file is not changed. False
// when the file cannot be read.
bool ReadMessageEntrySource(std::string_view folder_dir, std::string_view file_name,
                            uint32_t file_size, uint32_t uid_validity, bool renumber,
                            uint32_t* last_uid, MessageEntrySource* source,
                            const ListedFile& listed = {});

// ReadMessageEntrySource, then the file's X-UID line is set when the rule
// asks for it, then BuildMessageEntry. Empty when the file cannot be read
// or the folder has no UID left for it (*last_uid is then unchanged).
pugi::xml_node AddMessageEntry(pugi::xml_node root, pugi::xml_node before,
                               std::string_view folder_dir, std::string_view file_name,
                               uint32_t file_size, uint32_t uid_validity, bool renumber,
                               uint32_t* last_uid);

// Rewrites MESSAGEDATE, SUBJECT, RECEIVED, MODIFIEDDATE, ATTACHMENTS, READ
// and SIZE of `entry` from a fresh read of its changed file (flag words
// cleared first); the other children and the UID stay. False when the file
// cannot be read.
bool RefreshMessageEntry(pugi::xml_node entry, std::string_view folder_dir,
                         std::string_view file_name, uint32_t file_size, uint32_t uid_validity,
                         const ListedFile& listed = {});

// The transient QX_STATUS child marks an entry whose item has changes not
// yet written to its file. MarkEntryPending adds it once; ClearEntryPending
// removes every one.
bool IsEntryPending(pugi::xml_node entry);
void MarkEntryPending(pugi::xml_node entry);
void ClearEntryPending(pugi::xml_node entry);

}  // namespace qx
