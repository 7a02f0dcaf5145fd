#pragma once
// The wire rows of the functions that run on a remote administration host
// once one is chosen: what each sends (its function text, the module key the
// host loads, its argument records' sizes) and which record the reply fills.
// Nothing here knows what a function does. An exported function names its
// row by function text (remote/forwarding.h); the host program keeps its own
// table of what it runs for each row (tools/qxradms).

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>

namespace qx {

inline constexpr const char* kStoreProviderModule = "QXAISP.DLL";
inline constexpr const char* kCalendarProviderModule = "QXAICP.DLL";

// Record sizes: their bytes are sent exactly as they lie in memory.
inline constexpr uint32_t kFolderRecordSize = 1540;
inline constexpr uint32_t kMessageListRecordSize = 5380;
inline constexpr uint32_t kMessageItemRecordSize = 2184;
inline constexpr uint32_t kPositionSize = 4;
inline constexpr uint32_t kMessageSearchRecordSize = 1160;
inline constexpr uint32_t kBlobRecordSize = 9220;
inline constexpr uint32_t kMessageBlobRecordSize = 9604;
inline constexpr uint32_t kCommandMessageRecordSize = 26176;
inline constexpr uint32_t kHierarchyFolderRecordSize = 2576;
inline constexpr uint32_t kAppointmentRecordSize = 648;

struct ForwardedCall {
  const char* function_text;    // the FUNCTION element; the TLS folder functions send their plain names
  const char* module_key;       // the library the host loads with LOAD
  uint32_t parameter_sizes[2];  // parameter 1 and 2 in bytes; 0 when absent
  int copied_back;              // the parameter the reply fills (1 or 2); 0 when none
};

namespace wire_rows {
constexpr const char* kSP = kStoreProviderModule;
constexpr const char* kCP = kCalendarProviderModule;
}  // namespace wire_rows

inline constexpr ForwardedCall kForwardedCalls[] = {
    {"FolderAdd", wire_rows::kSP, {kFolderRecordSize, 0}, 0},
    {"FolderGet", wire_rows::kSP, {kFolderRecordSize, 0}, 1},
    {"FolderRemove", wire_rows::kSP, {kFolderRecordSize, 0}, 0},
    {"FolderEdit", wire_rows::kSP, {kFolderRecordSize, kFolderRecordSize}, 0},
    {"FolderFindFirst", wire_rows::kSP, {kFolderRecordSize, 0}, 1},
    {"FolderFindNext", wire_rows::kSP, {kFolderRecordSize, 0}, 1},
    {"FolderFindClose", wire_rows::kSP, {kFolderRecordSize, 0}, 0},
    {"MessageItemFindFirst", wire_rows::kSP, {kMessageListRecordSize, kMessageItemRecordSize}, 2},
    {"MessageItemFindNext", wire_rows::kSP, {kMessageListRecordSize, kMessageItemRecordSize}, 2},
    {"MessageItemFindClose", wire_rows::kSP, {kMessageListRecordSize, 0}, 0},
    {"MessageItemListSetPosition", wire_rows::kSP, {kPositionSize, 0}, 0},
    {"MessageItemListGetLength", wire_rows::kSP, {kMessageListRecordSize, 0}, 0},
    {"MessageItemListGetNewLength", wire_rows::kSP, {kMessageListRecordSize, 0}, 0},
    {"MessageItemListGetUnReadLength", wire_rows::kSP, {kMessageListRecordSize, 0}, 0},
    {"MessagesFindFirst", wire_rows::kSP, {kMessageSearchRecordSize, 0}, 1},
    {"MessagesFindNext", wire_rows::kSP, {kMessageSearchRecordSize, 0}, 1},
    {"BLOBGetSize", wire_rows::kSP, {kBlobRecordSize, 0}, 1},
    {"BLOBGetFirstChunk", wire_rows::kSP, {kBlobRecordSize, 0}, 1},
    {"BLOBGetNextChunk", wire_rows::kSP, {kBlobRecordSize, 0}, 1},
    {"BLOBWriteFirstChunk", wire_rows::kSP, {kBlobRecordSize, 0}, 0},
    {"BLOBWriteNextChunk", wire_rows::kSP, {kBlobRecordSize, 0}, 0},
    {"MessageItemBLOBGetSize", wire_rows::kSP, {kMessageBlobRecordSize, 0}, 1},
    {"MessageItemBLOBGetFirstChunk", wire_rows::kSP, {kMessageBlobRecordSize, 0}, 1},
    {"MessageItemBLOBGetNextChunk", wire_rows::kSP, {kMessageBlobRecordSize, 0}, 1},
    {"MessageItemBLOBWriteFirstChunk", wire_rows::kSP, {kMessageBlobRecordSize, 0}, 0},
    {"MessageItemBLOBWriteNextChunk", wire_rows::kSP, {kMessageBlobRecordSize, 0}, 0},
    {"CommandMessageFindFirst", wire_rows::kSP, {kCommandMessageRecordSize, 0}, 1},
    {"CommandMessageFindNext", wire_rows::kSP, {kCommandMessageRecordSize, 0}, 1},
    {"CommandMessageGet", wire_rows::kSP, {kCommandMessageRecordSize, 0}, 1},
    {"CommandMessageSet", wire_rows::kSP, {kCommandMessageRecordSize, 0}, 1},
    {"StoreFolderAdd", wire_rows::kSP, {kHierarchyFolderRecordSize, 0}, 0},
    {"StoreFolderGet", wire_rows::kSP, {kHierarchyFolderRecordSize, 0}, 1},
    {"StoreFolderRemove", wire_rows::kSP, {kHierarchyFolderRecordSize, 0}, 0},
    {"StoreFolderEdit", wire_rows::kSP, {kHierarchyFolderRecordSize, kHierarchyFolderRecordSize}, 0},
    {"StoreFolderCopy", wire_rows::kSP, {kHierarchyFolderRecordSize, kHierarchyFolderRecordSize}, 0},
    {"StoreFolderFindFirst", wire_rows::kSP, {kHierarchyFolderRecordSize, 0}, 1},
    {"StoreFolderFindNext", wire_rows::kSP, {kHierarchyFolderRecordSize, 0}, 1},
    {"StoreFolderFindClose", wire_rows::kSP, {kHierarchyFolderRecordSize, 0}, 0},
    {"AppointmentAdd", wire_rows::kCP, {kAppointmentRecordSize, 0}, 1},
    {"AppointmentRemove", wire_rows::kCP, {kAppointmentRecordSize, 0}, 1},
    {"AppointmentEdit", wire_rows::kCP, {kAppointmentRecordSize, kAppointmentRecordSize}, 0},
    {"AppointmentGet", wire_rows::kCP, {kAppointmentRecordSize, 0}, 1},
    {"AppointmentFindFirst", wire_rows::kCP, {kAppointmentRecordSize, 0}, 1},
    {"AppointmentFindNext", wire_rows::kCP, {kAppointmentRecordSize, 0}, 1},
};

constexpr std::span<const ForwardedCall> ForwardedCalls() { return kForwardedCalls; }

inline constexpr size_t kNoForwardedCall = std::size(kForwardedCalls);

// The index of the row whose function text is function_text (exact case),
// or kNoForwardedCall. (An index rather than a pointer: GCC's
// -fsanitize=undefined cannot compare a pointer with null while compiling.)
constexpr size_t ForwardedCallIndex(std::string_view function_text) {
  for (size_t i = 0; i < std::size(kForwardedCalls); ++i) {
    if (function_text == kForwardedCalls[i].function_text) return i;
  }
  return kNoForwardedCall;
}

// The row whose function text is function_text (exact case), or null.
constexpr const ForwardedCall* FindForwardedCall(std::string_view function_text) {
  const size_t index = ForwardedCallIndex(function_text);
  return index == kNoForwardedCall ? nullptr : &kForwardedCalls[index];
}

// Both ends find a row by its text, so no two rows may share one.
constexpr bool FunctionTextsUnique() {
  for (size_t i = 0; i < std::size(kForwardedCalls); ++i) {
    if (ForwardedCallIndex(kForwardedCalls[i].function_text) != i) return false;
  }
  return true;
}
static_assert(FunctionTextsUnique(), "two wire rows send the same function text");

// The row of function_text, found while compiling: a text without a row
// does not build.
consteval const ForwardedCall& ForwardedCallOf(std::string_view function_text) {
  const size_t index = ForwardedCallIndex(function_text);
  if (index == kNoForwardedCall) throw "no wire row sends this function text";
  return kForwardedCalls[index];
}

// A function text as a template argument: ForwardCall<"FolderGet">(folder).
template <size_t N>
struct FunctionText {
  consteval FunctionText(const char (&literal)[N]) {
    for (size_t i = 0; i < N; ++i) text[i] = literal[i];
  }
  constexpr std::string_view view() const { return {text, N - 1}; }
  char text[N] = {};
};

// True when Records, in order, are records of the sizes the row sends: the
// bytes sent and copied back are then exactly the caller's records.
template <class... Records>
constexpr bool RecordsMatch(const ForwardedCall& call) {
  if constexpr (sizeof...(Records) > 2) {
    return false;
  } else {
    const uint32_t sizes[] = {static_cast<uint32_t>(sizeof(Records))..., 0, 0};
    return sizes[0] == call.parameter_sizes[0] && sizes[1] == call.parameter_sizes[1];
  }
}

}  // namespace qx
