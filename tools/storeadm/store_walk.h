#pragma once
// The store's directories as commands that work on many of them walk them:
// every mailbox of a postoffice, every folder of a mailbox.

#include <string>
#include <vector>

namespace qx::storeadm {

struct FolderLine {
  std::string name;       // below the mailbox, '/' between levels ("Sent/2024")
  std::string directory;  // store path
};

// Every folder directory below `directory`, depth first in listing order,
// their names starting with `name` ("" at the mailbox). Store files and
// directories ("_hidden", ".x") are not folders.
void CollectFolders(const std::string& directory, const std::string& name,
                    std::vector<FolderLine>* folders);

// The mailboxes of a postoffice: the directories below its MAILROOT, sorted.
std::vector<std::string> ListMailboxes(const char* postoffice);

// The postoffices on the mail root, sorted.
std::vector<std::string> ListPostoffices();

}  // namespace qx::storeadm
