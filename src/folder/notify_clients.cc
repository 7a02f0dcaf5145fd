#include "folder/notify_clients.h"

#include <string>
#include <vector>

#include "platform/computer_name.h"
#include "platform/diagnostics.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/text_compare.h"
#include "folder/activity_file.h"
#include "folder/folder_files.h"
#include "folder/activity_lock.h"

namespace qx {

namespace {

// The protocol this library notifies from: it holds no client connections.
constexpr const char* kOwnProtocol = "";

struct NotifyPass {
  NotifyRemoteFunction notifier;
  std::string own_server;
  std::string_view folder;
  std::string_view text;
};

void TraceOrphan(const NotifyPass& pass, const ActivityEntry& entry,
                 const std::string& protocol) {
  std::string line = "Warning: NotifyRemote function failed. Unable to notify server (" +
                     entry.server + ") from server (" + pass.own_server + ") with protocol (" +
                     protocol + ") from protocol (" + kOwnProtocol + ")\n";
  platform::Trace(line);
  line = "Warning: Removing orphaned connection from activity connection file. Server=" +
         entry.server + ", Port=" + std::to_string(entry.client_port) + "\n";
  platform::Trace(line);
}

// Notifies the entry if it is to be told; false when its server could not
// be reached, so that the entry is dropped.
bool NotifyEntry(const NotifyPass& pass, const ActivityEntry& entry) {
  if (pass.notifier == nullptr || !WantsNotification(entry, pass.folder, pass.text)) return true;
  std::string protocol = NotifyProtocol(entry.protocol);
  if (platform::EqualsNoCase(entry.server, pass.own_server) && protocol == kOwnProtocol) return true;
  std::string message = NotificationMessage(entry, pass.text);
  if (pass.notifier(entry.server.c_str(), protocol.c_str(), message.c_str()) == 0) return true;
  TraceOrphan(pass, entry, protocol);
  return false;
}

void DeleteQuietly(const std::string& path) { platform::DeleteFile(path); }

// Steps through the entries of the activity file and swaps in what is left
// of it. Runs under the activity lock.
void NotifyAndRewrite(const NotifyPass& pass, std::string_view directory) {
  const std::string table_path = FolderFilePath(directory, kActivityFileName);
  const std::string temp_path = FolderFilePath(directory, kActivityTempFileName);
  std::optional<std::vector<ActivityEntry>> entries = ReadActivityFile(table_path);
  if (!entries) return;
  platform::FileReplacement temp(table_path, temp_path, platform::FileKind::kOther);
  if (!temp.valid()) {
    platform::DiagPrintf("problem with outfile\n");
    return;
  }
  std::vector<ActivityEntry> kept;
  for (const ActivityEntry& entry : *entries) {
    if (NotifyEntry(pass, entry)) kept.push_back(entry);
  }
  if (kept.size() == entries->size()) {
    temp.Abandon();
    return;
  }
  if (kept.empty()) {
    temp.Abandon();
    DeleteQuietly(table_path);
    return;
  }
  // A temporary file that could not be written whole must not replace the
  // entries of live connections; the orphans go at the next notification.
  if (!temp.Write(FormatActivityFile(kept)) || !temp.FinishWriting()) {
    temp.Abandon();
    platform::Trace("QX-WXXXX: Warning: Unable to write " + temp_path + "\n");
    return;
  }
  // One replacing rename rather than delete-then-rename: a crash between the
  // two would lose every entry.
  if (!temp.Commit()) {
    platform::Trace("QX-WXXXX: Warning: Unable to move " + temp_path + " Activity File to " +
                    table_path + ". Error: " + std::to_string(platform::GetLastError()));
  }
}

}  // namespace

uint32_t NotifyClientsWith(NotifyRemoteFunction notifier, std::string_view activity_directory,
                           std::string_view folder, std::string_view text) {
  if (text.empty()) return kNotifyDone;
  std::string table_path = FolderFilePath(activity_directory, kActivityFileName);
  if (platform::GetFileAttributes(table_path) == platform::kInvalidAttributes) {
    return kNotifyNoActivityFile;
  }
  ActivityLock lock(activity_directory);
  if (!lock.held()) return kNotifyLockFailed;
  NotifyAndRewrite({notifier, platform::ComputerName(), folder, text}, activity_directory);
  lock.Release();
  return kNotifyDone;
}

uint32_t NotifyClients(std::string_view activity_directory, std::string_view folder,
                       std::string_view text) {
  return NotifyClientsWith(NotifyRemoteEntry(), activity_directory, folder, text);
}

}  // namespace qx
