// The content search family of the exported interface. It always works
// locally, on the calling thread's own search state.

#include "qxstore.h"
#include "search/search_state.h"

namespace {

void SetOut(const std::string* text, char** value, uint32_t* length) {
  if (value != nullptr) *value = text != nullptr ? const_cast<char*>(text->c_str()) : nullptr;
  if (length != nullptr) *length = text != nullptr ? static_cast<uint32_t>(text->size()) : 0;
}

}  // namespace

extern "C" {

QXSTORE_API uint32_t MsgSearch_Init(void) { return 1; }

QXSTORE_API uint32_t MsgSearch_SetParameter_String(const char* name, const char* value) {
  qx::SearchState* state = qx::CallingThreadSearchState();
  if (state == nullptr || name == nullptr || value == nullptr) return 0;
  return state->SetParameter(name, std::string_view(value)) ? 1 : 0;
}

QXSTORE_API uint32_t MsgSearch_SetParameter_Int(const char* name, uint32_t value) {
  qx::SearchState* state = qx::CallingThreadSearchState();
  if (state == nullptr || name == nullptr) return 0;
  return state->SetParameter(name, value) ? 1 : 0;
}

QXSTORE_API uint32_t MsgSearch_FindAll(void) {
  qx::SearchState* state = qx::CallingThreadSearchState();
  if (state == nullptr) return 0;
  state->FindAll();
  return 1;
}

QXSTORE_API uint32_t StoreItem_FirstMatch(void) {
  qx::SearchState* state = qx::CallingThreadSearchState();
  if (state == nullptr) return 0;
  state->FindAll();
  return state->NextMatch() ? 1 : 0;
}

QXSTORE_API uint32_t StoreItem_NextMatch(void) {
  qx::SearchState* state = qx::CallingThreadSearchState();
  return state != nullptr && state->NextMatch() ? 1 : 0;
}

QXSTORE_API uint32_t StoreItem_GetMatchProp(const char* name, char** value, uint32_t* length) {
  qx::SearchState* state = qx::CallingThreadSearchState();
  if (state == nullptr || name == nullptr) return 0;
  const std::string_view property = name;
  if (property == "Filename") {
    SetOut(state->CurrentMatch(), value, length);
  } else if (property == "FilenameList") {
    SetOut(state->MatchList(), value, length);
  } else {
    return 0;
  }
  return 1;
}

QXSTORE_API uint32_t MsgSearch_UnInit(void) {
  qx::ReleaseCallingThreadSearchState();
  return 1;
}

}  // extern "C"
