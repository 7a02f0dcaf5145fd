#pragma once
// The roots of the store, and whether a path leads inside them. With R the
// mail root and P a postoffice, the roots of P are:
//   R                        the mail root
//   R\P                      the postoffice's directory
//   the custom root of P     when "Allow Custom Postoffice Paths" is 1 and
//                            the option provider names one
//   PUBROOT, FILEROOT and VCFROOT below either of the last two
// A root may itself be a symbolic link the administrator placed (public
// folders on another disk, say): what counts is where it leads. Below a
// root, a link that leads out of every root is refused, so paths are
// compared as the file system resolves them at the moment of the call
// (platform/real_path.h), never as texts.
//
// Full paths. The older interfaces take whole paths rather than names
// (folder and message listings, BLOB and command message files, the
// content search). The server's own programs use them for their queues and
// are trusted; a host that carries out calls for other machines is not its
// own caller, so it turns full-path confinement on at start. Confined, a
// full path must be absolute, hold no "..", and lead inside the mail root
// (with the roots of the postoffice it names there), a queue directory or
// the bad mail directory.

#include <string>
#include <string_view>
#include <vector>

namespace qx {

// True when `path`, built from names of `postoffice` (null: none), leads
// inside the roots of that postoffice. False, with last error 5 (access
// denied), when it leads elsewhere or where it leads cannot be told (a
// dangling link, a loop, a directory that cannot be looked into).
bool IsInsideStore(std::string_view path, const char* postoffice);

// True when `path` leads to one of the roots themselves (the mail root, a
// postoffice's directory, its MAILROOT, or a special root): directories
// that hold many mailboxes or folders, which no single folder removal may
// take. Reported as a refusal with last error 5.
bool IsStoreRoot(std::string_view path, const char* postoffice);

// Turns full-path confinement on for the rest of the process. Called once,
// before calls are served; there is no way back.
void ConfineFullPaths();
bool FullPathsConfined();

// The queue directories: the "Queue Directory" value of each connector key
// (root\CONNECTORS\<name>), read on every call.
std::vector<std::string> QueueDirectories();

// True while confinement is off. Confined: true when `path` is absolute,
// holds no "..", and leads inside the mail root, a queue directory, the bad
// mail directory, or the roots of the postoffice it names below the mail
// root; else false with last error 123 (relative, "..") or 5.
bool IsAllowedFullPath(std::string_view path);

}  // namespace qx
