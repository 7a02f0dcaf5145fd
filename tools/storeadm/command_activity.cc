// storeadm activity: the client connections recorded in a mailbox's
// activity file. It reads the file without taking its lock: the store
// replaces the file in one rename, so a reader never sees half of it.
// With --notify it tells them of a change as a commit would.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "store_objects.h"
#include "report.h"
#include "frame/store_paths.h"
#include "platform/civil_date.h"
#include "platform/file.h"
#include "folder/activity_file.h"
#include "folder/folder_files.h"
#include "folder/notify_clients.h"
#include "json_text.h"

namespace qx::storeadm {
namespace {

// "YYYY-MM-DD HH:MM:SS" in UTC.
std::string DateText(int32_t seconds) {
  const platform::DayAndSecond split = platform::SplitUnixSeconds(seconds);
  const platform::CivilDate date = platform::CivilFromDays(split.days);
  const int second_of_day = static_cast<int>(split.second_of_day);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02d:%02d:%02d",
                static_cast<long long>(date.year), date.month, date.day, second_of_day / 3600,
                second_of_day / 60 % 60, second_of_day % 60);
  return text;
}

void PrintJson(const std::vector<ActivityEntry>& entries) {
  std::printf("[");
  for (size_t i = 0; i < entries.size(); ++i) {
    const ActivityEntry& e = entries[i];
    std::printf("%s\n  {\"server\": %s, \"protocol\": %s, \"notify_protocol\": %s, "
                "\"state\": %s, \"client_address\": %s, \"client_port\": %d, \"written\": %d, "
                "\"folder\": %s, \"connection\": %d, \"session\": %s}",
                i == 0 ? "" : ",", JsonString(e.server).c_str(), JsonString(e.protocol).c_str(),
                JsonString(NotifyProtocol(e.protocol)).c_str(), JsonString(e.state).c_str(),
                JsonString(e.client_address).c_str(), e.client_port, e.written,
                JsonString(e.folder).c_str(), e.connection, JsonString(e.session).c_str());
  }
  std::printf("%s]\n", entries.empty() ? "" : "\n");
}

void PrintTable(const std::string& path, const std::vector<ActivityEntry>& entries,
                bool locked) {
  std::printf("%s: %zu entr%s%s\n", ShownPath(path).c_str(), entries.size(),
              entries.size() == 1 ? "y" : "ies",
              locked ? " (locked: a process is reading or rewriting it)" : "");
  if (entries.empty()) return;
  std::printf("\n%-16s %-10s %-10s %-21s %-19s %-20s %6s  %s\n", "SERVER", "PROTOCOL", "STATE",
              "CLIENT", "WRITTEN (UTC)", "FOLDER", "CONN", "SESSION");
  for (const ActivityEntry& e : entries) {
    std::string client = e.client_address + ":" + std::to_string(e.client_port);
    std::string folder = e.folder.empty() ? "(every folder)" : e.folder;
    std::printf("%-16s %-10s %-10s %-21s %-19s %-20s %6d  %s\n", e.server.c_str(),
                e.protocol.c_str(), e.state.c_str(), client.c_str(), DateText(e.written).c_str(),
                folder.c_str(), e.connection, e.session.c_str());
  }
}

const char* NotifyResultText(uint32_t result) {
  switch (result) {
    case kNotifyDone: return "done";
    case kNotifyNoActivityFile: return "no activity file";
    default: return "the activity file's lock could not be taken";
  }
}

// Tells the recorded clients of `text` in `folder`; the entries left are
// listed afterwards.
void Notify(const std::string& directory, const char* folder, const char* text) {
  const char* notifier = NotifyRemoteEntry() != nullptr ? "libqxainfy.so" : "none loaded";
  uint32_t result = NotifyClients(directory, folder, text);
  std::printf("Notified \"%s\" in folder \"%s\" (notifier: %s): %u, %s\n\n", text, folder,
              notifier, result, NotifyResultText(result));
}

int RunActivity(int argc, char** argv);

const CommandRegistration kActivity(
    {"activity", "<postoffice> <mailbox> [--json | --notify <folder> [<text>]]",
     "lists the client connections recorded in the mailbox's activity file; --notify tells "
     "them of a change (text COMMIT unless given) and drops those that cannot be reached",
     RunActivity, nullptr, "--json --notify"});

int RunActivity(int argc, char** argv) {
  bool json = argc == 4 && std::strcmp(argv[3], "--json") == 0;
  bool notify = (argc == 5 || argc == 6) && std::strcmp(argv[3], "--notify") == 0;
  if (argc != 3 && !json && !notify) {
    return UsageError(*FindCommand("activity"), "activity needs a postoffice and a mailbox");
  }
  std::string directory = MailboxDirectory(argv[1], argv[2]);
  if (directory.empty()) {
    ReportError(
                 "no mailbox directory: it is longer than 1023 bytes or leads out of "
                 "the store\n");
    return kExitFailure;
  }
  if (notify) Notify(directory, argv[4], argc == 6 ? argv[5] : "COMMIT");
  std::string path = FolderFilePath(directory, kActivityFileName);
  bool locked = platform::GetFileAttributes(FolderFilePath(directory, kActivityBlockFileName)) !=
                platform::kInvalidAttributes;
  std::optional<std::vector<ActivityEntry>> entries = ReadActivityFile(path);
  if (!entries) {
    if (!platform::IsDirectory(directory)) {
      ReportError("no mailbox directory %s", ShownPath(directory).c_str());
      return kExitFailure;
    }
    if (!json) {
      std::printf("%s: none (no client has a folder of the mailbox open)\n",
                  ShownPath(path).c_str());
      return kExitOk;
    }
    entries.emplace();
  }
  if (json) {
    PrintJson(*entries);
  } else {
    PrintTable(path, *entries, locked);
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
