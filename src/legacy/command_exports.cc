// The command message family of the exported interface: each call runs on
// the remote administration host while forwarding is active, else here.

#include "legacy/command_messages.h"
#include "qxstore.h"
#include "remote/forwarding.h"

using qx::ForwardCall;
using qx::ForwardedFunction;

extern "C" {

QXSTORE_API uint32_t CommandMessageFindFirst(COMMANDMESSAGE* message) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kCommandMessageFindFirst, message)) {
    return *forwarded;
  }
  return qx::LocalCommandMessageFindFirst(message);
}

QXSTORE_API uint32_t CommandMessageFindNext(COMMANDMESSAGE* message) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kCommandMessageFindNext, message)) {
    return *forwarded;
  }
  return qx::LocalCommandMessageFindNext(message);
}

QXSTORE_API uint32_t CommandMessageGet(COMMANDMESSAGE* message) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kCommandMessageGet, message)) {
    return *forwarded;
  }
  return qx::LocalCommandMessageGet(message);
}

QXSTORE_API uint32_t CommandMessageSet(COMMANDMESSAGE* message) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kCommandMessageSet, message)) {
    return *forwarded;
  }
  return qx::LocalCommandMessageSet(message);
}

}  // extern "C"
