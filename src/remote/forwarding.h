#pragma once
// The one forwarding path shared by every forwarding function:
//
//   uint32_t FolderGet(FOLDER* folder) {
//     return ForwardOrRunLocally(ForwardedFunction::kFolderGet, LocalFolderGet, folder);
//   }
//
// or, where the local work does not fit one call, ForwardCall and then the work.
// The entry in remote/forwarded_calls.h says what is sent and copied back.

#include <cstdint>
#include <optional>

#include "remote/forwarded_calls.h"

namespace qx {

// nullopt when the call is to run locally. Otherwise the call was forwarded
// (or could not be, for want of a connection) and no local work may follow:
// the value is the host's result, 0 when the reply carries none. The records
// are those of the entry, in order (parameter2 may be null when the entry
// has one); the copied-back record is overwritten from the reply when the
// reply carries it. A missing record the entry needs gives 0.
std::optional<uint32_t> ForwardCall(ForwardedFunction function, void* parameter1,
                                    void* parameter2 = nullptr);

// The whole body of an exported call that the remote host may run instead:
// forwarded while forwarding is active, else `local(records...)` here.
template <class Local, class... Records>
uint32_t ForwardOrRunLocally(ForwardedFunction function, Local local, Records*... records) {
  if (std::optional<uint32_t> forwarded = ForwardCall(function, records...)) return *forwarded;
  return local(records...);
}

// The exchange of one forwarded call over the open connection, without the
// decision: request, reply, result and the record copied back.
uint32_t ExchangeForwardedCall(const ForwardedCall& call, void* parameter1, void* parameter2);

}  // namespace qx
