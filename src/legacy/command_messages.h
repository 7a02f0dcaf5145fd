#pragma once
// The command message functions' local work on their records: what the
// exported functions do when the call is not forwarded, and what a remote
// administration host does with a forwarded one. Results and fields as the
// exported functions of the same names document in qxstore.h; null gives 0.
//
// The find functions share one listing per process (guarded, so that
// threads that do not serialise their calls cannot corrupt it, but still one
// listing: a FindFirst on any thread replaces it).

#include <cstdint>

#include "qxstore.h"

namespace qx {

// The listing pattern "directory\*.MAI" must fit this many bytes with its
// NUL, and a message's path "directory\message_id" kCommandMessagePathSize;
// calls whose texts do not fit give 0 and touch nothing. So do paths that
// lead out of the store while full paths are confined (frame/store_roots.h),
// CommandMessageSet's included.
inline constexpr size_t kCommandMessagePatternSize = 400;
inline constexpr size_t kCommandMessagePathSize = 1024;

uint32_t LocalCommandMessageFindFirst(COMMANDMESSAGE* message);
uint32_t LocalCommandMessageFindNext(COMMANDMESSAGE* message);
uint32_t LocalCommandMessageGet(COMMANDMESSAGE* message);
uint32_t LocalCommandMessageSet(COMMANDMESSAGE* message);

}  // namespace qx
