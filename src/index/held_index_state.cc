#include "index/held_index_state.h"

#include <any>

#include "xml/xml_document.h"

namespace qx {

HeldIndexState* HeldStateOf(const StoreIndex* index) {
  if (index == nullptr) return nullptr;
  std::any* annex = XmlDocument::HandleAnnex(index->folder_index);
  if (annex == nullptr) return nullptr;
  if (!annex->has_value()) annex->emplace<HeldIndexState>();
  return std::any_cast<HeldIndexState>(annex);
}

void NoteDocumentIsFile(StoreIndex* index, const std::optional<platform::FileVersion>& version) {
  HeldIndexState* state = HeldStateOf(index);
  if (state == nullptr) return;
  state->read_from_file = true;
  state->file_version = version;
  state->changes.Clear();
}

void NoteEntryInserted(const StoreIndex* index, std::string_view id) {
  if (HeldIndexState* state = HeldStateOf(index)) state->changes.NoteInserted(id);
}

void NoteEntryRemoved(const StoreIndex* index, std::string_view id) {
  if (HeldIndexState* state = HeldStateOf(index)) state->changes.NoteRemoved(id);
}

void NoteEntryChildSet(const StoreIndex* index, std::string_view id, std::string_view child) {
  if (HeldIndexState* state = HeldStateOf(index)) state->changes.NoteChildSet(id, child);
}

}  // namespace qx
