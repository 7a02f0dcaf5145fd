#pragma once
// The one folder grammar of storeadm's command line. The library's calls
// take folder texts in three spellings (the index functions "Inbox" or
// "\Public\Sales", the legacy enumeration and message files "\Inbox" or
// "Public/Sales", the folder records a parent and a name); the operator
// writes one, and storeadm turns it into each:
//
//   Inbox                the mailbox's Inbox (any case)
//   Sent, Projects/2024  folders of the mailbox, '/' (or '\') between levels
//   Public, Public/Sales the public folders and one of them
//   $FILEROOT/Docs       a folder of the mailbox's file store
//   $VCFROOT/Work        a folder of the postoffice's contact store
//
// A leading separator is ignored. The empty text names no folder (the
// mailbox directory is not one) and is refused.

#include <optional>
#include <string>

namespace qx::storeadm {

enum class FolderTree { kMailbox, kPublic, kFileStore, kContactStore };

struct FolderArgument {
  FolderTree tree = FolderTree::kMailbox;
  std::string index_text;   // for the index functions and the store's folder directory
  std::string legacy_text;  // for the legacy enumeration and message files; empty when
                            // those calls cannot reach the tree
};

// The folder the text names; nullopt, with what is wrong in *problem.
std::optional<FolderArgument> ParseFolderArgument(const std::string& text, std::string* problem);

struct Command;

// Parses argv[position] and points it at the folder's index text (held by
// *folder, which must outlive argv's use). kExitOk, or the usage error's
// exit code with the problem printed.
int TakeFolderArgument(const Command& command, char** argv, int position, FolderArgument* folder);

// The same for the calls that take the legacy text: argv[position] points
// at it; a tree they cannot reach is a usage error.
int TakeLegacyFolderArgument(const Command& command, char** argv, int position,
                             FolderArgument* folder);

// The help text of the grammar ("storeadm help folders").
const char* FolderGrammarHelp();

}  // namespace qx::storeadm
