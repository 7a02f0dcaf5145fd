#pragma once
// The activity file "_activity.tab" of a mailbox: one line per client
// connection that has a folder of the mailbox open, written by the services
// that hold those connections. Entries are separated by a single "\n", with
// no line end after the last one; each is nine TAB-separated fields
// (server, protocol, state, client address, client port, time written,
// folder, connection number, server session).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// A reader takes at most this many characters of a line at a time.
inline constexpr size_t kActivityLineLimit = 1023;
// Fields 1 to 8 are held to this many characters, the session to the other.
inline constexpr size_t kActivityFieldLimit = 1023;
inline constexpr size_t kActivitySessionLimit = 255;

struct ActivityEntry {
  std::string server;    // computer name of the server holding the connection
  std::string protocol;  // e.g. "IMAP" or "IMAP-4"; see NotifyProtocol
  std::string state;     // e.g. "X-SELECT"
  std::string client_address;
  int32_t client_port = 0;
  int32_t written = 0;   // seconds since 1970
  std::string folder;    // leading '/' and '\' are not significant
  int32_t connection = 0;
  std::string session;   // identifies one run of the server process

  bool operator==(const ActivityEntry&) const = default;
};

// One entry from one line (its trailing "\n" already removed). Field n is
// the text between the (n-1)th and nth TAB; the ninth runs to the end of
// the line, TABs included. Missing fields are empty (numbers 0); numbers
// are read as leading decimal text, as atoi reads them.
ActivityEntry ParseActivityEntry(std::string_view line);

// The entry as the file holds it: "%s\t%s\t%s\t%s\t%d\t%d\t%s\t%d\t%s".
std::string FormatActivityEntry(const ActivityEntry& entry);

// Splits file contents into lines the way the readers of the file take them:
// at each "\n" (removed), and any run longer than kActivityLineLimit
// characters is cut into pieces of that length, each read as a line of its
// own. Empty lines are left out.
std::vector<std::string> SplitActivityLines(std::string_view contents);

// The entries of the file at `path`; nullopt when it cannot be read.
std::optional<std::vector<ActivityEntry>> ReadActivityFile(std::string_view path);

// The entries joined by "\n", with no line end after the last.
std::string FormatActivityFile(const std::vector<ActivityEntry>& entries);

// The part of the protocol field before the first "-" (all of it when
// there is none): the protocol the notifier is asked to reach.
std::string NotifyProtocol(std::string_view protocol);

// True when a change of `folder` concerns a connection that has
// `entry_folder` open: when either is empty, or both are equal without
// regard to case once their leading '/' and '\' are dropped.
bool ActivityFolderMatches(std::string_view entry_folder, std::string_view folder);

// Whether the entry is to be told of `text` in `folder`: its folder matches,
// and an IMAP connection in state "X-SELECT" is told only of "COMMIT" (in
// any case).
bool WantsNotification(const ActivityEntry& entry, std::string_view folder,
                       std::string_view text);

// The message handed to the notifier for an entry:
// "[QX_NOTIFY]\t<connection>\t<session>\t<text>", followed by "\r\n\r\n"
// unless the text already holds "\r\n\r\n".
std::string NotificationMessage(const ActivityEntry& entry, std::string_view text);

}  // namespace qx
