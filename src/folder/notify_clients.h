#pragma once
// Telling the connected clients of a mailbox that a folder changed: each
// matching entry of the mailbox's activity file is sent a notification
// through the notifier library (NotifyRemote of QXAINFY.DLL), and entries
// whose server cannot be reached are dropped from the file as orphans.

#include <cstdint>
#include <string_view>

#include "folder/notifier_library.h"

namespace qx {

inline constexpr uint32_t kNotifyLockFailed = 0;
inline constexpr uint32_t kNotifyDone = 1;
inline constexpr uint32_t kNotifyNoActivityFile = 2;

// Notifies the clients recorded in "_activity.tab" of `activity_directory`
// (a mailbox directory) of `text` (the index layer passes "COMMIT") in
// `folder`, through the notifier loaded at the library's start.
// 1 when done (also for an empty text, and when there is no notifier: then
// every entry stays), 2 when the directory has no activity file (nothing is
// created), 0 when the activity lock could not be taken (nobody is told and
// the file is untouched). Takes and releases the activity lock; may wait
// for it up to "Store Notification Wait Timeout" seconds.
uint32_t NotifyClients(std::string_view activity_directory, std::string_view folder,
                       std::string_view text);

// The same with the notifier given; null means none.
uint32_t NotifyClientsWith(NotifyRemoteFunction notifier, std::string_view activity_directory,
                           std::string_view folder, std::string_view text);

}  // namespace qx
