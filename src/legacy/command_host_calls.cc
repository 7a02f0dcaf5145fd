#include "legacy/command_host_calls.h"

#include "legacy/command_messages.h"
#include "qxstore.h"

namespace qx {

namespace {

COMMANDMESSAGE* Message(void* parameter) { return static_cast<COMMANDMESSAGE*>(parameter); }

}  // namespace

uint32_t HostCommandMessageFindFirst(void* message, void*) {
  return LocalCommandMessageFindFirst(Message(message));
}

uint32_t HostCommandMessageFindNext(void* message, void*) {
  return LocalCommandMessageFindNext(Message(message));
}

uint32_t HostCommandMessageGet(void* message, void*) {
  return LocalCommandMessageGet(Message(message));
}

uint32_t HostCommandMessageSet(void* message, void*) {
  return LocalCommandMessageSet(Message(message));
}

}  // namespace qx
