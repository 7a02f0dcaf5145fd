// Arbitrary bytes as a mailbox's activity file `_activity.tab`, read and
// rewritten the way a folder change notifies its clients. Entries whose
// server cannot be reached ("DOWN..." here) are dropped; every other entry
// must be written back as it was read, and an entry must survive its own
// formatting unchanged.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "folder/activity_file.h"
#include "folder/notify_clients.h"
#include "fuzz_support.h"

namespace {

std::string g_mailbox;
int g_refused = 0;

int32_t Notifier(const char* server, const char*, const char*) {
  if (std::string_view(server).starts_with("DOWN")) {
    ++g_refused;
    return 1;
  }
  return 0;
}

std::vector<std::string_view> WrittenLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_mailbox = qx::fuzz::ScratchRoot() + "/mailbox";
  qx::fuzz::MakeDirectories(g_mailbox);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string table = g_mailbox + "/_activity.tab";
  const std::string_view contents = qx::fuzz::AsText(data, size);
  qx::fuzz::WriteBytes(table, contents);

  const auto entries = qx::ReadActivityFile(table);
  if (!entries) __builtin_trap();
  std::vector<std::string> formatted;
  for (const qx::ActivityEntry& entry : *entries) {
    formatted.push_back(qx::FormatActivityEntry(entry));
    if (qx::ParseActivityEntry(formatted.back()) != entry) __builtin_trap();
    qx::NotificationMessage(entry, "COMMIT");
  }

  g_refused = 0;
  if (qx::NotifyClientsWith(Notifier, g_mailbox, "Inbox", "COMMIT") != qx::kNotifyDone) {
    __builtin_trap();
  }
  const std::string rewritten = qx::fuzz::ReadBytes(table);
  if (g_refused == 0) {
    if (rewritten != contents) __builtin_trap();
    return 0;
  }
  const std::vector<std::string_view> lines = WrittenLines(rewritten);
  if (lines.size() != entries->size() - static_cast<size_t>(g_refused)) __builtin_trap();
  size_t next = 0;
  for (std::string_view line : lines) {
    while (next < formatted.size() && formatted[next] != line) ++next;
    if (next == formatted.size()) __builtin_trap();
    ++next;
  }
  return 0;
}
