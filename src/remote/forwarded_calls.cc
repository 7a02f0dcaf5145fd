#include "remote/forwarded_calls.h"

#include "legacy/blob_host_calls.h"
#include "legacy/command_host_calls.h"
#include "legacy/legacy_host_calls.h"
#include "store/folder_host_calls.h"
#include "store/folder_size.h"

namespace qx {

namespace {

using F = ForwardedFunction;
constexpr const char* kSP = kStoreProviderModule;
constexpr const char* kCP = kCalendarProviderModule;

// Each family fills in `local` with its own function when it is written.
constexpr ForwardedCall kTable[] = {
    {F::kFolderAdd, "FolderAdd", kSP, {kFolderRecordSize, 0}, 0, HostFolderAdd},
    {F::kFolderGet, "FolderGet", kSP, {kFolderRecordSize, 0}, 1, HostFolderGet},
    {F::kFolderRemove, "FolderRemove", kSP, {kFolderRecordSize, 0}, 0, HostFolderRemove},
    {F::kFolderEdit, "FolderEdit", kSP, {kFolderRecordSize, kFolderRecordSize}, 0,
     HostFolderEdit},
    {F::kFolderFindFirst, "FolderFindFirst", kSP, {kFolderRecordSize, 0}, 1, HostFolderFindFirst},
    {F::kFolderFindNext, "FolderFindNext", kSP, {kFolderRecordSize, 0}, 1, HostFolderFindNext},
    {F::kFolderFindClose, "FolderFindClose", kSP, {kFolderRecordSize, 0}, 0, HostFolderFindClose},
    {F::kMessageItemFindFirst, "MessageItemFindFirst", kSP,
     {kMessageListRecordSize, kMessageItemRecordSize}, 2, HostMessageItemFindFirst},
    {F::kMessageItemFindNext, "MessageItemFindNext", kSP,
     {kMessageListRecordSize, kMessageItemRecordSize}, 2, HostMessageItemFindNext},
    {F::kMessageItemFindClose, "MessageItemFindClose", kSP, {kMessageListRecordSize, 0}, 0,
     HostMessageItemFindClose},
    {F::kMessageItemListSetPosition, "MessageItemListSetPosition", kSP, {kPositionSize, 0}, 0,
     HostMessageItemListSetPosition},
    {F::kMessageItemListGetLength, "MessageItemListGetLength", kSP, {kMessageListRecordSize, 0},
     0, HostMessageItemListGetLength},
    {F::kMessageItemListGetNewLength, "MessageItemListGetNewLength", kSP,
     {kMessageListRecordSize, 0}, 0, HostMessageItemListGetNewLength},
    {F::kMessageItemListGetUnReadLength, "MessageItemListGetUnReadLength", kSP,
     {kMessageListRecordSize, 0}, 0, HostMessageItemListGetUnReadLength},
    {F::kMessagesFindFirst, "MessagesFindFirst", kSP, {kMessageSearchRecordSize, 0}, 1,
     HostMessagesFindFirst},
    {F::kMessagesFindNext, "MessagesFindNext", kSP, {kMessageSearchRecordSize, 0}, 1,
     HostMessagesFindNext},
    {F::kBLOBGetSize, "BLOBGetSize", kSP, {kBlobRecordSize, 0}, 1, HostBLOBGetSize},
    {F::kBLOBGetFirstChunk, "BLOBGetFirstChunk", kSP, {kBlobRecordSize, 0}, 1,
     HostBLOBGetFirstChunk},
    {F::kBLOBGetNextChunk, "BLOBGetNextChunk", kSP, {kBlobRecordSize, 0}, 1, HostBLOBGetNextChunk},
    {F::kBLOBWriteFirstChunk, "BLOBWriteFirstChunk", kSP, {kBlobRecordSize, 0}, 0,
     HostBLOBWriteFirstChunk},
    {F::kBLOBWriteNextChunk, "BLOBWriteNextChunk", kSP, {kBlobRecordSize, 0}, 0,
     HostBLOBWriteNextChunk},
    {F::kMessageItemBLOBGetSize, "MessageItemBLOBGetSize", kSP, {kMessageBlobRecordSize, 0}, 1,
     HostMessageItemBLOBGetSize},
    {F::kMessageItemBLOBGetFirstChunk, "MessageItemBLOBGetFirstChunk", kSP,
     {kMessageBlobRecordSize, 0}, 1, HostMessageItemBLOBGetFirstChunk},
    {F::kMessageItemBLOBGetNextChunk, "MessageItemBLOBGetNextChunk", kSP,
     {kMessageBlobRecordSize, 0}, 1, HostMessageItemBLOBGetNextChunk},
    {F::kMessageItemBLOBWriteFirstChunk, "MessageItemBLOBWriteFirstChunk", kSP,
     {kMessageBlobRecordSize, 0}, 0, HostMessageItemBLOBWriteFirstChunk},
    {F::kMessageItemBLOBWriteNextChunk, "MessageItemBLOBWriteNextChunk", kSP,
     {kMessageBlobRecordSize, 0}, 0, HostMessageItemBLOBWriteNextChunk},
    {F::kCommandMessageFindFirst, "CommandMessageFindFirst", kSP, {kCommandMessageRecordSize, 0},
     1, HostCommandMessageFindFirst},
    {F::kCommandMessageFindNext, "CommandMessageFindNext", kSP, {kCommandMessageRecordSize, 0}, 1,
     HostCommandMessageFindNext},
    {F::kCommandMessageGet, "CommandMessageGet", kSP, {kCommandMessageRecordSize, 0}, 1,
     HostCommandMessageGet},
    {F::kCommandMessageSet, "CommandMessageSet", kSP, {kCommandMessageRecordSize, 0}, 1,
     HostCommandMessageSet},
    {F::kStoreFolderAdd, "StoreFolderAdd", kSP, {kHierarchyFolderRecordSize, 0}, 0,
     HostStoreFolderAdd},
    {F::kStoreFolderGet, "StoreFolderGet", kSP, {kHierarchyFolderRecordSize, 0}, 1,
     HostStoreFolderGet},
    {F::kStoreFolderRemove, "StoreFolderRemove", kSP, {kHierarchyFolderRecordSize, 0}, 0,
     HostStoreFolderRemove},
    {F::kStoreFolderEdit, "StoreFolderEdit", kSP,
     {kHierarchyFolderRecordSize, kHierarchyFolderRecordSize}, 0, HostStoreFolderEdit},
    {F::kStoreFolderCopy, "StoreFolderCopy", kSP,
     {kHierarchyFolderRecordSize, kHierarchyFolderRecordSize}, 0, HostStoreFolderCopy},
    {F::kTLS_StoreFolderFindFirst, "StoreFolderFindFirst", kSP, {kHierarchyFolderRecordSize, 0},
     1, HostStoreFolderFindFirst},
    {F::kTLS_StoreFolderFindNext, "StoreFolderFindNext", kSP, {kHierarchyFolderRecordSize, 0}, 1,
     HostStoreFolderFindNext},
    {F::kTLS_StoreFolderFindClose, "StoreFolderFindClose", kSP, {kHierarchyFolderRecordSize, 0},
     0, HostStoreFolderFindClose},
    {F::kAppointmentAdd, "AppointmentAdd", kCP, {kAppointmentRecordSize, 0}, 1, nullptr},
    {F::kAppointmentRemove, "AppointmentRemove", kCP, {kAppointmentRecordSize, 0}, 1, nullptr},
    {F::kAppointmentEdit, "AppointmentEdit", kCP,
     {kAppointmentRecordSize, kAppointmentRecordSize}, 0, nullptr},
    {F::kAppointmentGet, "AppointmentGet", kCP, {kAppointmentRecordSize, 0}, 1, nullptr},
    {F::kAppointmentFindFirst, "AppointmentFindFirst", kCP, {kAppointmentRecordSize, 0}, 1,
     nullptr},
    {F::kAppointmentFindNext, "AppointmentFindNext", kCP, {kAppointmentRecordSize, 0}, 1, nullptr},
};

constexpr bool TableFollowsEnum() {
  for (size_t i = 0; i < std::size(kTable); ++i) {
    if (static_cast<size_t>(kTable[i].function) != i) return false;
  }
  return std::size(kTable) == static_cast<size_t>(ForwardedFunction::kCount);
}
static_assert(TableFollowsEnum(), "one entry per forwarded function, in enum order");

}  // namespace

const ForwardedCall& ForwardedCallOf(ForwardedFunction function) {
  return kTable[static_cast<size_t>(function)];
}

std::span<const ForwardedCall> ForwardedCalls() { return kTable; }

const ForwardedCall* FindForwardedCall(std::string_view function_text) {
  for (const ForwardedCall& call : kTable) {
    if (function_text == call.function_text) return &call;
  }
  return nullptr;
}

}  // namespace qx
