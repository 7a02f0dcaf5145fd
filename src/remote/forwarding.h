#pragma once
// The one forwarding path shared by every forwarding function:
//
//   uint32_t FolderGet(FOLDERRECORD* folder) {
//     return ForwardOrRunLocally<"FolderGet">(LocalFolderGet, folder);
//   }
//
// or, where the local work does not fit one call, ForwardCall<"...">(records)
// and then the work. The text names the function's wire row
// (remote/forwarded_calls.h), which says what is sent and copied back; a
// text without a row, or records whose sizes differ from the row's, do not
// compile.

#include <cstdint>
#include <optional>

#include "remote/forwarded_calls.h"

namespace qx {

// nullopt when the call is to run locally. Otherwise the call was forwarded
// (or could not be, for want of a connection) and no local work may follow:
// the value is the host's result, 0 when the reply carries none. The records
// are those of the row, in order (parameter2 may be null when the row has
// one); the copied-back record is overwritten from the reply when the reply
// carries it. A missing record the row needs gives 0.
std::optional<uint32_t> ForwardRecords(const ForwardedCall& call, void* parameter1,
                                       void* parameter2 = nullptr);

// ForwardRecords for the row of Text, with records of the row's sizes.
template <FunctionText Text, class... Records>
std::optional<uint32_t> ForwardCall(Records*... records) {
  constexpr const ForwardedCall& call = ForwardedCallOf(Text.view());
  static_assert(RecordsMatch<Records...>(call), "the records differ from the wire row's sizes");
  return ForwardRecords(call, records...);
}

// The whole body of an exported call that the remote host may run instead:
// forwarded while forwarding is active, else `local(records...)` here.
template <FunctionText Text, class Local, class... Records>
uint32_t ForwardOrRunLocally(Local local, Records*... records) {
  if (std::optional<uint32_t> forwarded = ForwardCall<Text>(records...)) return *forwarded;
  return local(records...);
}

// The exchange of one forwarded call over the open connection, without the
// decision: request, reply, result and the record copied back.
uint32_t ExchangeForwardedCall(const ForwardedCall& call, void* parameter1, void* parameter2);

}  // namespace qx
