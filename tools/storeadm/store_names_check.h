#pragma once
// Names from the command line that would lead out of the store are refused
// before anything runs, whether the calls would run here or on a remote
// administration host (frame/store_names.h says which names).

#include <initializer_list>

namespace qx::storeadm {

enum class NameKind { kDirectory, kFolder, kFile };

struct StoreNameArgument {
  const char* what;  // "postoffice", "mailbox", "folder", "file name"
  const char* text;
  NameKind kind = NameKind::kDirectory;  // postoffices and mailboxes
};

// True when every name may be used; otherwise prints one line, "storeadm:
// the <what> "<text>" leads out of the store", to standard error and
// returns false (the command then exits with kExitFailure).
bool NamesStayInStore(std::initializer_list<StoreNameArgument> names);

// The line for a call the library refused because of where it leads (a
// symbolic link out of the store): "storeadm: <what> leads out of the
// store". Returns kExitFailure.
int LeadsOutOfStore(const char* what);

}  // namespace qx::storeadm
