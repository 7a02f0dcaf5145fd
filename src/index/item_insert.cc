#include "index/item_insert.h"

#include <cstring>
#include <string>

#include "folder/folder_files.h"
#include "frame/store_names.h"
#include "index/entry_lookup.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_entry.h"
#include "index/held_index_state.h"
#include "index/index_format.h"
#include "index/store_index.h"
#include "message/message_uid.h"
#include "platform/diagnostics.h"
#include "platform/file.h"

namespace qx {

namespace {

constexpr uint32_t kLastPossibleUid = 0xFFFFFFFFu;

// The first entry whose ID sorts after `file_name` byte by byte (strcmp
// order, so "b.MAI" sorts after "C.MAI"), or an empty node.
pugi::xml_node FirstEntryAfter(pugi::xml_node root, std::string_view file_name) {
  for (pugi::xml_node entry : root.children(kEntryElement)) {
    const char* id = AttributeValue(entry, kIdAttribute);
    if (id != nullptr && std::string_view(id).compare(file_name) > 0) return entry;
  }
  return pugi::xml_node();
}

HeaderReadOptions InsertReadOptions() {
  HeaderReadOptions options;
  options.clear_flag_list = false;
  options.read_uid = UidBrandingEnabled();
  options.attachment_mode = kScanBodyForAttachments;
  return options;
}

// Reads the item file into `record` for a new mail entry. False when the
// file cannot be read.
bool ReadItemFile(const StoreIndex* index, std::string_view file_name, MessageHeaders* record) {
  const std::string path = FolderFilePath(index->folder_directory, file_name);
  const int64_t size = platform::GetFileSize(path);
  if (size < 0) return false;
  record->file_size = static_cast<uint32_t>(size);
  const uint32_t uid = record->uid;
  if (ReadMessageHeaders(path, record, InsertReadOptions()) != 1) return false;
  // The entry's UID is the folder's next one whatever X-UID the file carries.
  record->uid = uid;
  return true;
}

pugi::xml_node BuildIdOnlyEntry(pugi::xml_node root, pugi::xml_node before,
                                std::string_view file_name, const uint32_t* uid) {
  pugi::xml_node entry = InsertElementBefore(root, kEntryElement, before);
  if (!entry) return entry;
  SetAttribute(entry, kIdAttribute, file_name);
  if (uid != nullptr) SetAttribute(entry, kUidAttribute, std::to_string(*uid));
  return entry;
}

}  // namespace

uint32_t InsertIndexEntry(StoreIndex* index, std::string_view file_name,
                          const EntryInsertOptions& options, MessageHeaders* record,
                          EntryLookup* lookup) {
  if (index == nullptr) return 0;
  MessageHeaders own_record;
  MessageHeaders* headers = record != nullptr ? record : &own_record;
  const std::string saved_flags = options.clear_flags ? std::string() : headers->flag_words;
  *headers = MessageHeaders();
  headers->flag_words = saved_flags;

  // The name becomes a path below the folder directory: it may not lead out.
  if (!AcceptStoreFileName(file_name)) return 0;
  StoreIndexLock lock(index);
  const XmlDocument document = HeldDocument(index);
  if (!document || file_name.empty()) return 0;
  pugi::xml_node root = document.DocumentElement();
  if (!root) return 0;
  if (lookup != nullptr ? bool(lookup->Find(file_name)) : bool(FindItemElement(document, file_name))) {
    return 0;
  }

  const pugi::xml_node before =
      lookup != nullptr ? lookup->FirstEntryAfter(file_name) : FirstEntryAfter(root, file_name);
  pugi::xml_node entry;
  if (index->folder_type == kFolderTypeMail) {
    const uint32_t last_uid = DocumentLastUid(document);
    if (last_uid == kLastPossibleUid) {
      // UIDs never wrap: a second message with UID 1 would be taken for the first.
      platform::DiagPrintf("Folder %s has handed out its last UID (%u): %s is not indexed\n",
                           index->folder_directory, last_uid, std::string(file_name).c_str());
      return 0;
    }
    const uint32_t uid = last_uid + 1;
    headers->uid = uid;
    if (options.read_file) {
      if (!ReadItemFile(index, file_name, headers)) return 0;
      entry = BuildMessageEntry(root, before, file_name, uid, *headers);
    } else {
      entry = BuildIdOnlyEntry(root, before, file_name, &uid);
    }
    if (!entry) return 0;
    SetDocumentLastUid(document, uid);
    index->last_uid = uid;
  } else {
    entry = BuildIdOnlyEntry(root, before, file_name, nullptr);
    if (!entry) return 0;
  }
  if (lookup != nullptr) lookup->Inserted(entry);
  SetCurrentEntry(index, entry);
  NoteEntryInserted(index, file_name);
  return 1;
}

uint32_t StoreIndexInsertItem(StoreIndex* index, const char* file_name, uint32_t read_file) {
  if (index == nullptr || file_name == nullptr) return 0;
  EntryInsertOptions options;
  options.read_file = read_file == 1;
  options.clear_flags = true;
  return InsertIndexEntry(index, file_name, options, nullptr);
}

}  // namespace qx
