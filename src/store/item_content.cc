#include "store/item_content.h"

#include <cstdint>

#include "index/held_index_state.h"
#include "index/index_entry.h"
#include "index/index_format.h"
#include "index/item_insert.h"
#include "index/store_index.h"
#include "message/item_file_name.h"
#include "frame/store_paths.h"
#include "message/mime_reader.h"
#include "message/mime_writer.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

std::string_view EntryId(pugi::xml_node entry) { return entry.attribute(kIdAttribute).value(); }

}  // namespace

std::optional<std::string> ItemFilePath(const ItemRef& item) {
  const std::string_view id = EntryId(item.entry);
  if (!IsPlainFileName(id) || item.folder_directory[0] == '\0') return std::nullopt;
  return JoinStorePath(item.folder_directory, id);
}

std::optional<std::string> ReadMessageFileContent(const ItemRef& item, const PropertyMapEntry&,
                                                  std::string_view property_name) {
  std::optional<std::string> path = ItemFilePath(item);
  if (!path) return std::nullopt;
  std::string value;
  ReadContentValue(*path, property_name, &value);
  return value;
}

bool WriteMessageFileContent(const ItemRef& item, const PropertyMapEntry& property,
                             std::string_view text) {
  if (!ItemFilePath(item)) return false;
  return WriteContentValue(item.folder_directory, EntryId(item.entry), property.field, text);
}

std::optional<std::string> ReadPlainFileContent(const ItemRef& item, const PropertyMapEntry&,
                                                std::string_view) {
  std::optional<std::string> path = ItemFilePath(item);
  if (!path) return std::nullopt;
  platform::File file = platform::File::Open(*path, platform::Access::kRead,
                                             platform::Disposition::kOpenExisting);
  if (!file.valid()) return std::nullopt;
  std::string text(kContentValueLimit, '\0');
  size_t filled = 0;
  while (filled < text.size()) {
    const int64_t got = file.Read(text.data() + filled, text.size() - filled);
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
  }
  text.resize(filled);
  return text;
}

std::optional<uint64_t> ReadItemFileTime(const ItemRef& item, const PropertyMapEntry& property) {
  std::optional<std::string> path = ItemFilePath(item);
  platform::FindData found;
  if (!path || !platform::FindFirst(*path, &found)) return std::nullopt;
  if (EqualsNoCase(property.field, "CREATEDDATE")) return found.creation_time;
  if (EqualsNoCase(property.field, "LASTACCESSEDDATE")) return found.last_access_time;
  return found.last_write_time;
}

bool LoadMessageItem(StoreIndex* index, std::string_view folder_directory,
                     std::string_view item_id, pugi::xml_node* entry) {
  if (!IsPlainFileName(item_id)) return false;
  const int64_t size = platform::GetFileSize(JoinStorePath(folder_directory, item_id));
  if (size < 0) return false;
  // A counter above every UID keeps the file's own UID and asks for no
  // rewrite.
  uint32_t counter = UINT32_MAX;
  MessageEntrySource source;
  if (!ReadMessageEntrySource(folder_directory, item_id, static_cast<uint32_t>(size),
                              FolderUidValidity(folder_directory), false, &counter, &source)) {
    return false;
  }
  StoreIndexLock lock(index);
  const pugi::xml_node root = HeldDocument(index).DocumentElement();
  *entry = BuildMessageEntry(root, pugi::xml_node(), item_id, source.uid.uid, source.headers);
  if (*entry) NoteEntryInserted(index, item_id);
  return static_cast<bool>(*entry);
}

bool LoadBareItem(StoreIndex* index, std::string_view, std::string_view item_id,
                  pugi::xml_node* entry) {
  if (!IsPlainFileName(item_id)) return false;
  EntryInsertOptions options;
  options.read_file = false;
  if (InsertIndexEntry(index, item_id, options, nullptr) != 1) return false;
  *entry = CurrentEntry(index);
  return static_cast<bool>(*entry);
}

}  // namespace qx
