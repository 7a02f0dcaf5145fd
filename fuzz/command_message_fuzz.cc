// Arbitrary bytes as a command message file of the queue, read into the
// caller's record the way CommandMessageGet reads one. Every text field must
// come back NUL-terminated within its buffer, and a record whose texts hold
// no '=', CR or LF must survive being written and read again.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "legacy/command_messages.h"

namespace {

std::string g_queue;

template <size_t N>
std::string_view Field(const char (&text)[N]) {
  if (strnlen(text, N) == N) __builtin_trap();
  return std::string_view(text);
}

bool Writable(std::string_view text) { return text.find_first_of("=\r\n") == std::string_view::npos; }

bool SameFields(const COMMANDMESSAGE& a, const COMMANDMESSAGE& b) {
  return Field(a.recipients) == Field(b.recipients) && Field(a.sender) == Field(b.sender) &&
         Field(a.priority) == Field(b.priority) && Field(a.status) == Field(b.status) &&
         a.retries == b.retries && a.next_send_time == b.next_send_time &&
         a.time_acquired == b.time_acquired;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_queue = qx::fuzz::ScratchRoot() + "/queue";
  qx::fuzz::MakeDirectories(g_queue);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qx::fuzz::WriteBytes(g_queue + "/M1.MAI", qx::fuzz::AsText(data, size));
  auto message = std::make_unique<COMMANDMESSAGE>();
  std::memset(message.get(), 0, sizeof *message);
  std::strcpy(message->directory, g_queue.c_str());
  if (qx::LocalCommandMessageFindFirst(message.get()) != 1) __builtin_trap();
  if (std::string_view(message->message_id) != "M1.MAI") __builtin_trap();
  if (qx::LocalCommandMessageFindNext(message.get()) != 0) __builtin_trap();
  if (qx::LocalCommandMessageGet(message.get()) != 1) __builtin_trap();
  Field(message->domain_name);
  Field(message->message_id);
  if (!Writable(message->recipients) || !Writable(message->sender) ||
      !Writable(message->priority) || !Writable(message->status)) {
    return 0;
  }
  std::strcpy(message->message_id, "M1.MAI");
  std::strcpy(message->server, "mx.example.com");
  if (qx::LocalCommandMessageSet(message.get()) != 1) __builtin_trap();
  auto again = std::make_unique<COMMANDMESSAGE>();
  std::memset(again.get(), 0, sizeof *again);
  std::strcpy(again->directory, g_queue.c_str());
  std::strcpy(again->message_id, "M1.MAI");
  if (qx::LocalCommandMessageGet(again.get()) != 1) __builtin_trap();
  if (!SameFields(*message, *again) || std::string_view(again->message_id) != "M1.MAI") {
    __builtin_trap();
  }
  return 0;
}
