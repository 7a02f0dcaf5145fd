// storeadm paths: the directory every path builder gives for one folder.
// It only computes: directories the builders would create are listed, not
// created.

#include <cstdio>
#include <string>

#include "command.h"
#include "frame/settings.h"
#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "platform/file.h"
#include "platform/path_resolver.h"

namespace qx::storeadm {
namespace {

constexpr int kNameWidth = 24;

std::string Built(uint32_t result, const char* path) {
  return result != 0 ? std::string(path) : "(rejected: longer than 1023 bytes)";
}

void PrintPath(const char* name, const std::string& path) {
  std::printf("  %-*s %s\n", kNameWidth, name, path.c_str());
}

void PrintPlan(const char* name, const FolderDirectoryPlan& plan) {
  PrintPath(name, plan.directory);
  const char* label = "creates when missing:";
  for (const std::string& directory : plan.creates) {
    std::printf("  %-*s   %-21s %s\n", kNameWidth, "", label, directory.c_str());
    label = "";
  }
}

void PrintBuilders(const char* postoffice, const char* mailbox, const char* folder,
                   const char* file_name) {
  char out[kStorePathSize];
  PrintPath("GetPostofficeDirectory",
            Built(GetPostofficeDirectory(out, sizeof out, postoffice), out));
  PrintPath("GetFolderDirectory",
            Built(GetFolderDirectory(out, sizeof out, postoffice, mailbox, folder), out));
  PrintPlan("ResolveFolderDirectory", PlanResolvedFolderDirectory(postoffice, mailbox, folder));
  PrintPlan("index folder directory", PlanIndexFolderDirectory(postoffice, mailbox, folder));
  PrintPath("GetMessageFolderPath",
            Built(GetMessageFolderPath(out, sizeof out, postoffice, mailbox, folder), out));
  PrintPath("GetBlobFilePath",
            Built(GetBlobFilePath(out, sizeof out, postoffice, mailbox, folder, file_name), out));
  PrintPath("GetHierarchyFolderPath",
            Built(GetHierarchyFolderPath(out, sizeof out, postoffice, mailbox, folder), out));
  if (folder[0] != '\\' && folder[0] != '/') {
    std::printf("  (GetMessageFolderPath and GetBlobFilePath take the folder text of the legacy\n"
                "   calls, which carries its own leading \\, as in \\Inbox)\n");
  }
}

void PrintFolderFiles(const std::string& folder_directory, const std::string& mailbox_directory) {
  const char* directory = folder_directory.c_str();
  bool separator = EndsWithSeparator(directory);
  std::printf("\nFiles of the resolved folder:\n");
  PrintPath("index file", IndexFilePath(directory));
  PrintPath("index block", IndexBlockPath(directory));
  PrintPath("change flag", FolderFlagPath(directory, FolderFlag::kChanged, separator));
  PrintPath("folder flag", FolderFlagPath(directory, FolderFlag::kFolder, separator));
  PrintPath("mailbox directory", mailbox_directory);
  PrintPath("delivery flags", DeliveryFlagPattern(mailbox_directory.c_str()));
  std::string native = platform::ToNativePath(folder_directory);
  std::printf("\nOn disk: %s (%s)\n", native.c_str(),
              platform::IsDirectory(folder_directory) ? "exists" : "missing");
}

int RunPaths(int argc, char** argv);

const CommandRegistration kPaths(
    {"paths", "<postoffice> <mailbox> <folder> [<file name>]",
     "prints the directory every path builder gives for a folder (\"\" is the inbox)",
     RunPaths});

int RunPaths(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    return UsageError(*FindCommand("paths"), "paths needs a postoffice, a mailbox and a folder");
  }
  const char* postoffice = argv[1];
  const char* mailbox = argv[2];
  const char* folder = argv[3];
  const char* file_name = argc == 5 ? argv[4] : "<file name>";
  std::printf("Postoffice \"%s\", mailbox \"%s\", folder \"%s\"; mail root \"%s\"\n\n", postoffice,
              mailbox, folder, Settings().mail_root);
  PrintBuilders(postoffice, mailbox, folder, file_name);
  PrintFolderFiles(PlanResolvedFolderDirectory(postoffice, mailbox, folder).directory,
                   MailboxDirectory(postoffice, mailbox));
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
