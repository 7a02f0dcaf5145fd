#include "host_functions.h"

#include "qxstore.h"

namespace qx::radms {

namespace {

template <class Record>
uint32_t Call(uint32_t (*function)(Record*), void* parameter1, void*) {
  return function(static_cast<Record*>(parameter1));
}

template <class First, class Second>
uint32_t Call(uint32_t (*function)(First*, Second*), void* parameter1, void* parameter2) {
  return function(static_cast<First*>(parameter1), static_cast<Second*>(parameter2));
}

template <class... Records>
constexpr bool TakesRecordsOf(const ForwardedCall& wire, uint32_t (*)(Records*...)) {
  return RecordsMatch<Records...>(wire);
}

// The row of the wire row that sends Text, run by Function. A function whose
// records differ in size from what the wire row carries does not compile.
template <FunctionText Text, auto Function>
constexpr HostFunction Row() {
  constexpr const ForwardedCall& wire = ForwardedCallOf(Text.view());
  static_assert(TakesRecordsOf(wire, Function), "the function's records differ from its wire row");
  return {&wire, [](void* parameter1, void* parameter2) {
            return Call(Function, parameter1, parameter2);
          }};
}

constexpr HostFunction kHostFunctions[] = {
    Row<"FolderAdd", FolderAdd>(),
    Row<"FolderGet", FolderGet>(),
    Row<"FolderRemove", FolderRemove>(),
    Row<"FolderEdit", FolderEdit>(),
    Row<"FolderFindFirst", FolderFindFirst>(),
    Row<"FolderFindNext", FolderFindNext>(),
    Row<"FolderFindClose", FolderFindClose>(),
    Row<"MessageItemFindFirst", MessageItemFindFirst>(),
    Row<"MessageItemFindNext", MessageItemFindNext>(),
    Row<"MessageItemFindClose", MessageItemFindClose>(),
    Row<"MessageItemListSetPosition", MessageItemListSetPosition>(),
    Row<"MessageItemListGetLength", MessageItemListGetLength>(),
    Row<"MessageItemListGetNewLength", MessageItemListGetNewLength>(),
    Row<"MessageItemListGetUnReadLength", MessageItemListGetUnReadLength>(),
    Row<"MessagesFindFirst", MessagesFindFirst>(),
    Row<"MessagesFindNext", MessagesFindNext>(),
    Row<"BLOBGetSize", BLOBGetSize>(),
    Row<"BLOBGetFirstChunk", BLOBGetFirstChunk>(),
    Row<"BLOBGetNextChunk", BLOBGetNextChunk>(),
    Row<"BLOBWriteFirstChunk", BLOBWriteFirstChunk>(),
    Row<"BLOBWriteNextChunk", BLOBWriteNextChunk>(),
    Row<"MessageItemBLOBGetSize", MessageItemBLOBGetSize>(),
    Row<"MessageItemBLOBGetFirstChunk", MessageItemBLOBGetFirstChunk>(),
    Row<"MessageItemBLOBGetNextChunk", MessageItemBLOBGetNextChunk>(),
    Row<"MessageItemBLOBWriteFirstChunk", MessageItemBLOBWriteFirstChunk>(),
    Row<"MessageItemBLOBWriteNextChunk", MessageItemBLOBWriteNextChunk>(),
    Row<"CommandMessageFindFirst", CommandMessageFindFirst>(),
    Row<"CommandMessageFindNext", CommandMessageFindNext>(),
    Row<"CommandMessageGet", CommandMessageGet>(),
    Row<"CommandMessageSet", CommandMessageSet>(),
    Row<"StoreFolderAdd", StoreFolderAdd>(),
    Row<"StoreFolderGet", StoreFolderGet>(),
    Row<"StoreFolderRemove", StoreFolderRemove>(),
    Row<"StoreFolderEdit", StoreFolderEdit>(),
    Row<"StoreFolderCopy", StoreFolderCopy>(),
    // The TLS folder functions send their plain names; the plain functions
    // run them with the serving thread's own folder list.
    Row<"StoreFolderFindFirst", StoreFolderFindFirst>(),
    Row<"StoreFolderFindNext", StoreFolderFindNext>(),
    Row<"StoreFolderFindClose", StoreFolderFindClose>(),
    Row<"AppointmentAdd", AppointmentAdd>(),
    Row<"AppointmentRemove", AppointmentRemove>(),
    Row<"AppointmentEdit", AppointmentEdit>(),
    Row<"AppointmentGet", AppointmentGet>(),
    Row<"AppointmentFindFirst", AppointmentFindFirst>(),
    Row<"AppointmentFindNext", AppointmentFindNext>(),
};

// Every wire row has exactly one row above, so a forwarded function never
// lacks its host side unnoticed.
constexpr bool EveryWireRowOnce() {
  for (const ForwardedCall& wire : ForwardedCalls()) {
    int rows = 0;
    for (const HostFunction& function : kHostFunctions) {
      rows += std::string_view(function.wire->function_text) == wire.function_text;
    }
    if (rows != 1) return false;
  }
  return true;
}
static_assert(EveryWireRowOnce(), "a wire row has no host row, or more than one");

}  // namespace

const HostFunction* FindHostFunction(std::string_view function_text) {
  for (const HostFunction& function : kHostFunctions) {
    if (function_text == function.wire->function_text) return &function;
  }
  return nullptr;
}

}  // namespace qx::radms
