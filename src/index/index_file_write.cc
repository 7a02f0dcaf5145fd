#include "index/index_file_write.h"

#include <cstdio>
#include <optional>
#include <string>

#include "folder/folder_files.h"
#include "index/held_index_state.h"
#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/index_merge.h"
#include "index/index_stamp.h"
#include "index/index_uid_repair.h"
#include "index/store_index.h"
#include "platform/diagnostics.h"
#include "platform/errors.h"

namespace qx {

namespace {

bool OtherWriterWasThere(const StoreIndex* index, const HeldIndexState* state,
                         const std::optional<platform::FileVersion>& version_now) {
  if (index->index_stamp != FolderIndexStamp(index->folder_directory, index->folder_type)) return true;
  return state != nullptr && state->read_from_file && state->file_version != version_now;
}

// The index file as it now is, with the object's changes applied; none when
// the file does not load.
XmlDocument MergedWithFile(StoreIndex* index, const HeldIndexState& state, const std::string& path) {
  XmlDocument theirs = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!theirs || !LoadDocumentFile(theirs, path)) return XmlDocument();
  const MergeOutcome outcome = MergeIndexChanges(HeldDocument(index), state.changes, theirs,
                                                 index->folder_type == kFolderTypeMail);
  char line[1400];
  std::snprintf(line, sizeof line,
                "StoreIndex_Save::Merged the changes of another writer into the index of folder "
                "%s (%u new UIDs, %u entries left to the next scan)\n",
                index->folder_directory, outcome.renumbered, outcome.left_out);
  platform::Trace(line);
  return theirs;
}

// The object now holds `document`; its current entry is the entry of the
// same ID there.
void HoldMerged(StoreIndex* index, const XmlDocument& document) {
  const pugi::xml_node current = CurrentEntry(index);
  const std::string current_id = current ? current.attribute(kIdAttribute).value() : "";
  HoldDocument(index, document);
  if (!current_id.empty()) SetCurrentEntry(index, FindItemElement(document, current_id));
  index->last_uid = DocumentLastUid(document);
}

}  // namespace

IndexFileWrite WriteObjectIndexFile(StoreIndex* index) {
  const std::string path = FolderFilePath(index->folder_directory, IndexFileNameFor(index->folder_type));
  const HeldIndexState* state = HeldStateOf(index);
  const std::optional<platform::FileVersion> version_now = platform::FileVersionOf(path);
  IndexFileWrite result;
  result.other_writer = OtherWriterWasThere(index, state, version_now);
  if (result.other_writer && state != nullptr && state->read_from_file && version_now) {
    if (const XmlDocument merged = MergedWithFile(index, *state, path)) {
      // Until it is written, the merge differs from the file by the same changes.
      IndexChanges changes = state->changes;
      HoldMerged(index, merged);
      NoteDocumentIsFile(index, version_now);
      HeldStateOf(index)->changes = std::move(changes);
    }
  }
  if (index->folder_type == kFolderTypeMail) RepairEntryUids(HeldDocument(index), path);
  std::optional<platform::FileVersion> written;
  result.written = SaveDocumentFile(HeldDocument(index), path, &written) == 1;
  if (result.written) NoteDocumentIsFile(index, written);
  if (!result.written) result.error = platform::GetLastError();
  return result;
}

}  // namespace qx
