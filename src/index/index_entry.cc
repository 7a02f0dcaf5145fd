#include "index/index_entry.h"

#include <algorithm>

#include "frame/store_paths.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "message/flag_words.h"
#include "message/message_rewrite.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/listing.h"

namespace qx {

namespace {

HeaderReadOptions EntryReadOptions(uint32_t listed_stamp) {
  HeaderReadOptions options;
  options.listed_stamp = listed_stamp;
  options.clear_flag_list = true;
  options.read_uid = UidBrandingEnabled();
  options.attachment_mode = kScanBodyForAttachments;
  return options;
}

}  // namespace

bool ReadEntryHeaders(std::string_view folder_dir, std::string_view file_name, uint32_t file_size,
                      uint32_t uid_validity, const ListedFile& listed, MessageHeaders* record) {
  record->file_size = file_size;
  record->uid_validity = uid_validity;
  const std::string path = JoinStorePath(folder_dir, file_name);
  HeaderReadOptions options = EntryReadOptions(listed.stamp);
  if (listed.folder == nullptr) {
    if (listed.name_only) {
      record->file_size = static_cast<uint32_t>(std::max<int64_t>(platform::GetFileSize(path), 0));
    }
    return ReadMessageHeaders(path, record, options) == 1;
  }
  // No process holds a message file without sharing (the store never opens
  // one so), so the scan needs no sharing probe; a file read while another
  // program still writes it is read again once its stamp moves.
  platform::File file = listed.folder->OpenUnlockedForReading(file_name);
  uint64_t size = 0;
  uint64_t last_write = 0;
  if (listed.name_only && file.valid() && file.GetSizeAndLastWriteTime(&size, &last_write)) {
    record->file_size = static_cast<uint32_t>(size);
    options.listed_stamp = platform::DosStampFromFileTime(last_write);
    options.known_size = static_cast<int64_t>(size);
  } else if (!listed.name_only) {
    options.known_size = file_size;
  }
  return ReadMessageHeaders(std::move(file), path, record, options) == 1;
}

uint32_t FolderUidValidity(std::string_view folder_dir) {
  while (!folder_dir.empty() && (folder_dir.back() == '\\' || folder_dir.back() == '/')) {
    folder_dir.remove_suffix(1);
  }
  platform::FindData found;
  if (folder_dir.empty() || !platform::FindFirst(folder_dir, &found)) return 0;
  return static_cast<uint32_t>(found.creation_time & 0xFFFFFFFFu);
}

std::string FlagStatusForNewEntry(const MessageHeaders& record) {
  if (record.flag_words.empty()) return kFlagRecent;
  std::string flags = record.flag_words;
  AddFlagWord(&flags, record.read == 1 ? "SEEN" : "RECENT");
  return flags;
}

pugi::xml_node BuildMessageEntry(pugi::xml_node root, pugi::xml_node before,
                                 std::string_view file_name, uint32_t uid,
                                 const MessageHeaders& record) {
  pugi::xml_node entry = InsertElementBefore(root, kEntryElement, before);
  if (!entry) return entry;
  SetAttribute(entry, kIdAttribute, file_name);
  SetAttribute(entry, kUidAttribute, std::to_string(uid));

  const std::string values[kMessageEntryChildren.size()] = {
      record.message_date,
      std::to_string(record.modified_stamp),
      std::to_string(record.importance),
      FlagStatusForNewEntry(record),
      std::to_string(record.has_attachments),
      record.sender,
      record.recipients,
      record.copy_recipients,
      record.subject,
      record.received_date,
      std::to_string(record.read),
      "0",
      record.message_class,
      std::to_string(record.file_size),
  };
  for (size_t i = 0; i < kMessageEntryChildren.size(); ++i) {
    SetElementText(entry.append_child(kMessageEntryChildren[i]), values[i]);
  }
  return entry;
}

bool ReadMessageEntrySource(std::string_view folder_dir, std::string_view file_name,
                            uint32_t file_size, uint32_t uid_validity, bool renumber,
                            uint32_t* last_uid, MessageEntrySource* source, const ListedFile& listed) {
  if (!ReadEntryHeaders(folder_dir, file_name, file_size, uid_validity, listed, &source->headers)) {
    return false;
  }
  source->uid = AssignMessageUid(uid_validity, renumber, source->headers.uid, last_uid);
  return true;
}

pugi::xml_node AddMessageEntry(pugi::xml_node root, pugi::xml_node before,
                               std::string_view folder_dir, std::string_view file_name,
                               uint32_t file_size, uint32_t uid_validity, bool renumber,
                               uint32_t* last_uid) {
  MessageEntrySource source;
  if (!ReadMessageEntrySource(folder_dir, file_name, file_size, uid_validity, renumber, last_uid,
                              &source) ||
      source.uid.exhausted) {
    return pugi::xml_node();
  }
  if (source.uid.rewrite_file) WriteMessageUid(folder_dir, file_name, uid_validity, source.uid.uid);
  return BuildMessageEntry(root, before, file_name, source.uid.uid, source.headers);
}

bool RefreshMessageEntry(pugi::xml_node entry, std::string_view folder_dir,
                         std::string_view file_name, uint32_t file_size, uint32_t uid_validity,
                         const ListedFile& listed) {
  MessageHeaders record;
  if (!ReadEntryHeaders(folder_dir, file_name, file_size, uid_validity, listed, &record)) return false;
  SetChildText(entry, kMessageDateElement, record.message_date);
  SetChildText(entry, kSubjectElement, record.subject);
  SetChildText(entry, kReceivedElement, record.received_date);
  SetChildText(entry, kModifiedDateElement, std::to_string(record.modified_stamp));
  SetChildText(entry, kAttachmentsElement, std::to_string(record.has_attachments));
  SetChildText(entry, kReadElement, std::to_string(record.read));
  SetChildText(entry, kSizeElement, std::to_string(record.file_size));
  return true;
}

bool IsEntryPending(pugi::xml_node entry) { return static_cast<bool>(entry.child(kPendingStatusElement)); }

void MarkEntryPending(pugi::xml_node entry) {
  if (entry && !IsEntryPending(entry)) entry.append_child(kPendingStatusElement);
}

void ClearEntryPending(pugi::xml_node entry) {
  while (pugi::xml_node status = entry.child(kPendingStatusElement)) entry.remove_child(status);
}

}  // namespace qx
