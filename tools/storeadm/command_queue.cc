// storeadm queue: the command messages of a queue directory with their
// fields, through the command message functions.

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "command.h"
#include "forwarding_check.h"
#include "qxstore.h"
#include "qxstore_record_text.h"

namespace qx::storeadm {
namespace {

int RunQueue(int argc, char** argv);

const Command kQueue{"queue", "<directory>",
                     "lists the command messages of a queue directory with their fields", RunQueue};
const CommandRegistration kRegisterQueue(kQueue);

// Everything but the directory and the name, so that fields a file lacks
// show empty rather than the previous message's values.
void ClearFields(COMMANDMESSAGE* message) {
  const size_t from = offsetof(COMMANDMESSAGE, server);
  const std::string id = RecordText(message->message_id);
  std::memset(reinterpret_cast<char*>(message) + from, 0, sizeof *message - from);
  std::memcpy(message->message_id, id.c_str(), id.size() + 1);
}

void PrintField(const char* name, const std::string& value) {
  std::printf("  %-15s %s\n", name, value.c_str());
}

void PrintMessage(const COMMANDMESSAGE& message) {
  PrintField("recipients", RecordText(message.recipients));
  PrintField("sender", RecordText(message.sender));
  PrintField("domain name", RecordText(message.domain_name));
  PrintField("priority", RecordText(message.priority));
  PrintField("status", RecordText(message.status));
  PrintField("retries", std::to_string(message.retries));
  PrintField("next send time", std::to_string(message.next_send_time));
  PrintField("time acquired", std::to_string(message.time_acquired));
}

int RunQueue(int argc, char** argv) {
  if (argc != 2) return UsageError(kQueue, "queue needs a directory");
  auto message = std::make_unique<COMMANDMESSAGE>();
  std::memset(message.get(), 0, sizeof *message);
  // The listing pattern "directory\*.MAI" must fit 400 bytes.
  if (std::strlen(argv[1]) > 393) return UsageError(kQueue, "the directory is too long");
  std::memcpy(message->directory, argv[1], std::strlen(argv[1]) + 1);
  int count = 0;
  int unreadable = 0;
  for (uint32_t found = CommandMessageFindFirst(message.get()); found != 0;
       found = CommandMessageFindNext(message.get())) {
    ++count;
    ClearFields(message.get());
    std::printf("%s\n", RecordText(message->message_id).c_str());
    if (CommandMessageGet(message.get()) == 1) {
      PrintMessage(*message);
    } else {
      ++unreadable;
      std::printf("  (cannot be read)\n");
    }
  }
  if (ReportForwardingFailure()) return kExitFailure;
  std::printf("%d command message%s in %s\n", count, count == 1 ? "" : "s", argv[1]);
  return unreadable == 0 ? kExitOk : kExitFailure;
}

}  // namespace
}  // namespace qx::storeadm
