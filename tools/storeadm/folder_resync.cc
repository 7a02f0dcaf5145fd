#include "folder_resync.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

#include "index/index_document.h"
#include "index/index_format.h"
#include "index/index_scan.h"
#include "index/index_transaction.h"
#include "index/message_id_lookup.h"
#include "index/store_index.h"
#include "indexed_messages.h"
#include "platform/errors.h"
#include "report.h"
#include "store_objects.h"

namespace qx::storeadm {
namespace {


// The rebuilt entry is of the message the old entry was made for: the
// file name agrees, and its size, its stamp, or its subject and date do.
// (The first indexing of a file may strip a header from it after its size
// and stamp were taken, so those alone would call a message that never
// changed a new one.)
bool SameMessage(const IndexedMessage& old, pugi::xml_node entry) {
  const uint32_t size =
      static_cast<uint32_t>(std::strtoul(entry.child(kSizeElement).text().get(), nullptr, 10));
  if (old.size == size) return true;
  if (!old.modified.empty() && old.modified == entry.child(kModifiedDateElement).text().get()) {
    return true;
  }
  return old.subject == entry.child(kSubjectElement).text().get() &&
         old.date == entry.child(kMessageDateElement).text().get();
}

// Gives the rebuilt entries their old UIDs and flags, the new ones fresh
// UIDs, and the index a LASTUID no lower than before.
void CarryOver(StoreIndex* index, const std::vector<IndexedMessage>& old, uint32_t old_last,
               Resynced* result) {
  std::map<std::string, const IndexedMessage*> by_file;
  std::set<uint32_t> used;
  uint32_t next = old_last;
  for (const IndexedMessage& message : old) {
    by_file[message.file] = &message;
    next = std::max(next, message.uid);
  }
  const XmlDocument& document = HeldDocument(index);
  for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
    ++result->messages;
    const auto found = by_file.find(entry.attribute(kIdAttribute).value());
    if (found != by_file.end() && SameMessage(*found->second, entry) &&
        used.insert(found->second->uid).second) {
      entry.attribute(kUidAttribute).set_value(found->second->uid);
      SetEntryFlagWords(entry, found->second->flags);
      ++result->kept;
    } else {
      entry.attribute(kUidAttribute).set_value(++next);
      if (found != by_file.end()) SetEntryFlagWords(entry, found->second->flags);
      ++result->renumbered;
    }
  }
  SetDocumentLastUid(document, next);
  result->last_uid = next;
}

}  // namespace

bool ResyncFolder(const char* postoffice, const char* mailbox, const std::string& folder_text,
                  const std::string& directory, Resynced* result) {
  const std::vector<IndexedMessage> old =
      ReadIndexedMessages(directory).value_or(std::vector<IndexedMessage>{});
  const uint32_t old_last = ReadLastUid(directory);
  if (ScanFolders(directory.c_str(), true, false) == 0) {
    ReportError("could not rebuild the index of %s (is the folder busy?)",
                ShownPath(directory).c_str());
    return false;
  }
  StoreIndex index;
  InitStoreIndex(&index);
  if (OpenIndexForTransaction(&index, postoffice, mailbox, folder_text.c_str()) != 1) {
    ReleaseStoreIndex(&index);
    ReportError("the index of %s is busy", ShownPath(directory).c_str());
    return false;
  }
  CarryOver(&index, old, old_last, result);
  SaveAndCloseIndex(&index, true);
  ReleaseStoreIndex(&index);
  // The save reports nothing: the file says whether the UIDs went in.
  if (ReadLastUid(directory) != result->last_uid) {
    ReportError("the index of %s could not be saved%s", ShownPath(directory).c_str(),
                Because(platform::GetLastError()).c_str());
    return false;
  }
  return true;
}

}  // namespace qx::storeadm
