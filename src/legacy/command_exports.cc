// The command message family of the exported interface: each call runs on
// the remote administration host while forwarding is active, else here.

#include "legacy/command_messages.h"
#include "qxstore.h"
#include "remote/forwarding.h"

extern "C" {

QXSTORE_API uint32_t CommandMessageFindFirst(COMMANDMESSAGE* message) {
  return qx::ForwardOrRunLocally<"CommandMessageFindFirst">(qx::LocalCommandMessageFindFirst,
                                                            message);
}

QXSTORE_API uint32_t CommandMessageFindNext(COMMANDMESSAGE* message) {
  return qx::ForwardOrRunLocally<"CommandMessageFindNext">(qx::LocalCommandMessageFindNext,
                                                           message);
}

QXSTORE_API uint32_t CommandMessageGet(COMMANDMESSAGE* message) {
  return qx::ForwardOrRunLocally<"CommandMessageGet">(qx::LocalCommandMessageGet, message);
}

QXSTORE_API uint32_t CommandMessageSet(COMMANDMESSAGE* message) {
  return qx::ForwardOrRunLocally<"CommandMessageSet">(qx::LocalCommandMessageSet, message);
}

}  // extern "C"
