#pragma once
// The store objects a command names must exist before it reports anything
// about them: an empty listing of a postoffice that is not there would be a
// lie. Each check prints one reason ("no mailbox bob in postoffice MAIN
// (/srv/mail/MAIN/MAILROOT/bob)") and returns false when the object is
// missing. While the calls are forwarded to a remote host the objects live
// there, so the checks pass and the host's answer counts.

#include <string>
#include <vector>

namespace qx::storeadm {

// True unless a remote host is chosen (--host, or "ForceDefaultHost").
bool CallsRunHere();

bool RequirePostoffice(const char* postoffice);
bool RequireMailbox(const char* postoffice, const char* mailbox);
// The mailboxes a command over many works on: every mailbox of the
// postoffice with `all` (-A), else the one named; into *mailboxes.
bool RequireMailboxes(const char* postoffice, const char* mailbox, bool all,
                      std::vector<std::string>* mailboxes);
// `folder` as the index functions take it; the directory found goes to
// *directory (a store path) when given. Nothing is created.
bool RequireFolder(const char* postoffice, const char* mailbox, const char* folder,
                   std::string* directory = nullptr);
// A directory given on the command line (a queue, a folder directory).
bool RequireDirectory(const char* what, const std::string& path);

// A store path as the user's shell names it: '/' between every level.
std::string ShownPath(const std::string& store_path);

}  // namespace qx::storeadm
