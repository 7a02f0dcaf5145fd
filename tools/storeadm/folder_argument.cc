#include "folder_argument.h"

#include "command.h"
#include "platform/text_compare.h"

namespace qx::storeadm {
namespace {

bool HasRoot(const std::string& text, const char* root) {
  const size_t length = std::char_traits<char>::length(root);
  return platform::StartsWithNoCase(text, root) && (text.size() == length || text[length] == '/');
}

std::string Replaced(std::string text, char from, char to) {
  for (char& c : text) {
    if (c == from) c = to;
  }
  return text;
}

}  // namespace

std::optional<FolderArgument> ParseFolderArgument(const std::string& text, std::string* problem) {
  std::string path = Replaced(text, '\\', '/');
  while (!path.empty() && path.front() == '/') path.erase(0, 1);
  while (!path.empty() && path.back() == '/') path.pop_back();
  if (path.empty()) {
    *problem = "the folder is empty: the Inbox is \"Inbox\" (storeadm help folders)";
    return std::nullopt;
  }
  if (path.find("//") != std::string::npos) {
    *problem = "the folder \"" + text + "\" has an empty level";
    return std::nullopt;
  }
  FolderArgument folder;
  if (HasRoot(path, "$FILEROOT") || HasRoot(path, "$VCFROOT")) {
    folder.tree = HasRoot(path, "$FILEROOT") ? FolderTree::kFileStore : FolderTree::kContactStore;
    folder.index_text = path;
    return folder;
  }
  if (HasRoot(path, "Public")) {
    folder.tree = FolderTree::kPublic;
    folder.index_text = "\\" + Replaced(path, '/', '\\');
    folder.legacy_text = path;
    return folder;
  }
  folder.index_text = Replaced(path, '/', '\\');
  folder.legacy_text = "\\" + folder.index_text;
  return folder;
}

int TakeFolderArgument(const Command& command, char** argv, int position, FolderArgument* folder) {
  std::string problem;
  std::optional<FolderArgument> parsed = ParseFolderArgument(argv[position], &problem);
  if (!parsed) return UsageError(command, problem.c_str());
  *folder = std::move(*parsed);
  argv[position] = folder->index_text.data();
  return kExitOk;
}

int TakeLegacyFolderArgument(const Command& command, char** argv, int position,
                             FolderArgument* folder) {
  if (int usage = TakeFolderArgument(command, argv, position, folder); usage != kExitOk) {
    return usage;
  }
  if (folder->legacy_text.empty()) {
    return UsageError(command, (std::string(command.name) +
                                " reaches the mailbox and the public folders only")
                                   .c_str());
  }
  argv[position] = folder->legacy_text.data();
  return kExitOk;
}

const char* FolderGrammarHelp() {
  return "Folders, as every storeadm command takes them:\n"
         "\n"
         "  Inbox                the mailbox's Inbox (any case)\n"
         "  Sent, Projects/2024  folders of the mailbox; '/' (or '\\') between levels\n"
         "  Public, Public/Sales the public folders, and one of them\n"
         "  $FILEROOT/Docs       a folder of the mailbox's file store\n"
         "  $VCFROOT/Work        a folder of the postoffice's contact store\n"
         "\n"
         "A leading '/' is ignored; an empty folder is refused (the mailbox\n"
         "directory is not a folder). ls, cat and put reach the mailbox and the\n"
         "public folders only. Quote names with '$' or '\\' for the shell.\n"
         "\n"
         "Messages are named by their file name (as ls shows it) or by their UID\n"
         "(a number): cat, flags, rm, mv and cp take either.\n"
         "\n"
         "The folders and folder commands take a parent folder and a name; the\n"
         "parent '/' (or '\\') is the top of the mailbox.\n";
}

}  // namespace qx::storeadm
