// storeadm queue: the command messages of a queue directory with their
// fields, through the command message functions.

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "command.h"
#include <vector>
#include "json_text.h"
#include "store_objects.h"
#include "forwarding_check.h"
#include "qxstore.h"
#include "qxstore_record_text.h"

namespace qx::storeadm {
namespace {

int RunQueue(int argc, char** argv);

const Command kQueue{"queue", "<directory> [--json]",
                     "lists the command messages of a queue directory with their fields", RunQueue, nullptr, "--json", true};
const CommandRegistration kRegisterQueue(kQueue);

// Everything but the directory and the name, so that fields a file lacks
// show empty rather than the previous message's values.
void ClearFields(COMMANDMESSAGE* message) {
  const size_t from = offsetof(COMMANDMESSAGE, server);
  const std::string id = RecordText(message->message_id);
  std::memset(reinterpret_cast<char*>(message) + from, 0, sizeof *message - from);
  std::memcpy(message->message_id, id.c_str(), id.size() + 1);
}

struct QueuedMessage {
  std::string id;
  bool readable = false;
  std::string recipients, sender, domain_name, priority, status;
  uint32_t retries = 0;
  int64_t next_send_time = 0;
  int64_t time_acquired = 0;
};

QueuedMessage Fields(const COMMANDMESSAGE& message, bool readable) {
  QueuedMessage queued;
  queued.id = RecordText(message.message_id);
  queued.readable = readable;
  if (!readable) return queued;
  queued.recipients = RecordText(message.recipients);
  queued.sender = RecordText(message.sender);
  queued.domain_name = RecordText(message.domain_name);
  queued.priority = RecordText(message.priority);
  queued.status = RecordText(message.status);
  queued.retries = message.retries;
  queued.next_send_time = message.next_send_time;
  queued.time_acquired = message.time_acquired;
  return queued;
}

void PrintField(const char* name, const std::string& value) {
  std::printf("  %-15s %s\n", name, value.c_str());
}

void PrintText(const QueuedMessage& m) {
  std::printf("%s\n", m.id.c_str());
  if (!m.readable) {
    std::printf("  (cannot be read)\n");
    return;
  }
  PrintField("recipients", m.recipients);
  PrintField("sender", m.sender);
  PrintField("domain name", m.domain_name);
  PrintField("priority", m.priority);
  PrintField("status", m.status);
  PrintField("retries", std::to_string(m.retries));
  PrintField("next send time", std::to_string(m.next_send_time));
  PrintField("time acquired", std::to_string(m.time_acquired));
}

std::string Json(const QueuedMessage& m) {
  return "{\"id\": " + JsonString(m.id) + ", \"readable\": " + (m.readable ? "true" : "false") +
         ", \"recipients\": " + JsonString(m.recipients) + ", \"sender\": " +
         JsonString(m.sender) + ", \"domain_name\": " + JsonString(m.domain_name) +
         ", \"priority\": " + JsonString(m.priority) + ", \"status\": " + JsonString(m.status) +
         ", \"retries\": " + std::to_string(m.retries) + ", \"next_send_time\": " +
         std::to_string(m.next_send_time) + ", \"time_acquired\": " +
         std::to_string(m.time_acquired) + "}";
}

int RunQueue(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 2) return UsageError(kQueue, "queue needs a directory");
  if (!RequireDirectory("queue directory", argv[1])) return kExitFailure;
  auto message = std::make_unique<COMMANDMESSAGE>();
  std::memset(message.get(), 0, sizeof *message);
  // The listing pattern "directory\*.MAI" must fit 400 bytes.
  if (std::strlen(argv[1]) > 393) return UsageError(kQueue, "the directory is too long");
  std::memcpy(message->directory, argv[1], std::strlen(argv[1]) + 1);
  std::vector<QueuedMessage> queued;
  for (uint32_t found = CommandMessageFindFirst(message.get()); found != 0;
       found = CommandMessageFindNext(message.get())) {
    ClearFields(message.get());
    const bool readable = CommandMessageGet(message.get()) == 1;
    queued.push_back(Fields(*message, readable));
  }
  if (ReportForwardingFailure()) return kExitFailure;
  if (json) {
    std::printf("[");
    for (size_t i = 0; i < queued.size(); ++i) {
      std::printf("%s%s", i == 0 ? "" : ",\n ", Json(queued[i]).c_str());
    }
    std::printf("]\n");
    return kExitOk;
  }
  for (const QueuedMessage& m : queued) PrintText(m);
  std::printf("%zu command message%s in %s\n", queued.size(), queued.size() == 1 ? "" : "s",
              argv[1]);
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
