#pragma once
// The functions that run on a remote administration host once one is
// chosen: what each sends (its function text, module key and argument
// records) and which record the reply fills. A forwarding function names its
// entry and leaves the rest to ForwardCall (remote/forwarding.h).

#include <cstdint>
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

enum class ForwardedFunction {
  kFolderAdd, kFolderGet, kFolderRemove, kFolderEdit,
  kFolderFindFirst, kFolderFindNext, kFolderFindClose,
  kMessageItemFindFirst, kMessageItemFindNext, kMessageItemFindClose,
  kMessageItemListSetPosition, kMessageItemListGetLength, kMessageItemListGetNewLength,
  kMessageItemListGetUnReadLength,
  kMessagesFindFirst, kMessagesFindNext,
  kBLOBGetSize, kBLOBGetFirstChunk, kBLOBGetNextChunk, kBLOBWriteFirstChunk,
  kBLOBWriteNextChunk,
  kMessageItemBLOBGetSize, kMessageItemBLOBGetFirstChunk, kMessageItemBLOBGetNextChunk,
  kMessageItemBLOBWriteFirstChunk, kMessageItemBLOBWriteNextChunk,
  kCommandMessageFindFirst, kCommandMessageFindNext, kCommandMessageGet, kCommandMessageSet,
  kStoreFolderAdd, kStoreFolderGet, kStoreFolderRemove, kStoreFolderEdit, kStoreFolderCopy,
  kTLS_StoreFolderFindFirst, kTLS_StoreFolderFindNext, kTLS_StoreFolderFindClose,
  kAppointmentAdd, kAppointmentRemove, kAppointmentEdit, kAppointmentGet,
  kAppointmentFindFirst, kAppointmentFindNext,
  kCount,
};

// The local form of a forwarded function on the host: the records in the
// order sent (the second is null when there is none); returns the result.
using LocalFunction = uint32_t (*)(void* parameter1, void* parameter2);

struct ForwardedCall {
  ForwardedFunction function;
  const char* function_text;      // the FUNCTION element; the TLS folder functions send their plain names
  const char* module_key;         // the library the host loads with LOAD
  uint32_t parameter_sizes[2];    // parameter 1 and 2 in bytes; 0 when absent
  int copied_back;                // the parameter the reply fills (1 or 2); 0 when none
  LocalFunction local;            // runs the function here; null until its family exists
};

const ForwardedCall& ForwardedCallOf(ForwardedFunction function);
std::span<const ForwardedCall> ForwardedCalls();

// The entry whose function text is function_text (exact case), or null.
const ForwardedCall* FindForwardedCall(std::string_view function_text);

}  // namespace qx
