// storeadm paths: the directory every path builder gives for one folder.
// It only computes: directories the builders would create are listed, not
// created.

#include <cstdio>
#include <string>
#include <vector>

#include "json_text.h"
#include "store_objects.h"

#include "command.h"
#include "frame/settings.h"
#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "platform/file.h"
#include "platform/path_resolver.h"

namespace qx::storeadm {
namespace {

constexpr int kNameWidth = 24;

// The lines of the report: a builder's name and its path, and the
// directories it would create.
struct PathLine {
  std::string name;
  std::string path;
  std::vector<std::string> creates;
};

class Report {
 public:
  explicit Report(bool store_form) : store_form_(store_form) {}
  void Add(const char* name, const std::string& path, std::vector<std::string> creates = {}) {
    for (std::string& directory : creates) directory = Shown(directory);
    lines_.push_back({name, Shown(path), std::move(creates)});
  }
  const std::vector<PathLine>& lines() const { return lines_; }

 private:
  // Store paths are shown as the shell names them unless the store form
  // was asked for.
  std::string Shown(const std::string& path) const {
    if (store_form_ || path.empty() || path[0] == '(') return path;
    return ShownPath(path);
  }
  bool store_form_;
  std::vector<PathLine> lines_;
};

std::string Built(uint32_t result, const char* path) {
  return result != 0 ? std::string(path) : "(rejected: longer than 1023 bytes)";
}

void AddBuilders(Report* report, const char* postoffice, const char* mailbox, const char* folder,
                 const char* file_name) {
  char out[kStorePathSize];
  report->Add("GetPostofficeDirectory",
              Built(GetPostofficeDirectory(out, sizeof out, postoffice), out));
  report->Add("GetFolderDirectory",
              Built(GetFolderDirectory(out, sizeof out, postoffice, mailbox, folder), out));
  FolderDirectoryPlan resolved = PlanResolvedFolderDirectory(postoffice, mailbox, folder);
  report->Add("ResolveFolderDirectory", resolved.directory, resolved.creates);
  FolderDirectoryPlan index = PlanIndexFolderDirectory(postoffice, mailbox, folder);
  report->Add("index folder directory", index.directory, index.creates);
  report->Add("GetMessageFolderPath",
              Built(GetMessageFolderPath(out, sizeof out, postoffice, mailbox, folder), out));
  report->Add("GetBlobFilePath",
              Built(GetBlobFilePath(out, sizeof out, postoffice, mailbox, folder, file_name), out));
  report->Add("GetHierarchyFolderPath",
              Built(GetHierarchyFolderPath(out, sizeof out, postoffice, mailbox, folder), out));
}

void AddFolderFiles(Report* report, const std::string& folder_directory,
                    const std::string& mailbox_directory) {
  const char* directory = folder_directory.c_str();
  bool separator = EndsWithSeparator(directory);
  report->Add("index file", IndexFilePath(directory));
  report->Add("index block", IndexBlockPath(directory));
  report->Add("change flag", FolderFlagPath(directory, FolderFlag::kChanged, separator));
  report->Add("folder flag", FolderFlagPath(directory, FolderFlag::kFolder, separator));
  report->Add("mailbox directory", mailbox_directory);
  report->Add("delivery flags", DeliveryFlagPattern(mailbox_directory.c_str()));
}

void PrintText(const Report& report) {
  for (const PathLine& line : report.lines()) {
    std::printf("  %-*s %s\n", kNameWidth, line.name.c_str(), line.path.c_str());
    const char* label = "creates when missing:";
    for (const std::string& directory : line.creates) {
      std::printf("  %-*s   %-21s %s\n", kNameWidth, "", label, directory.c_str());
      label = "";
    }
  }
}

void PrintJson(const Report& report) {
  std::vector<JsonObject> objects;
  for (const PathLine& line : report.lines()) {
    std::string creates = "[";
    for (const std::string& directory : line.creates) {
      creates += (creates.size() > 1 ? ", " : "") + JsonString(directory);
    }
    objects.push_back(
        JsonObject().Add("name", line.name).Add("path", line.path).AddRaw("creates", creates + "]"));
  }
  PrintJsonArray(objects);
}

int RunPaths(int argc, char** argv);

const CommandRegistration kPaths(
    {"paths", "<postoffice> <mailbox> <folder> [<file name>] [--store-paths] [--json]",
     "prints the directory every path builder gives for a folder (\"\" is the inbox); "
     "--store-paths shows them as the store writes them",
     RunPaths, nullptr, "--store-paths --json"});

int RunPaths(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  const bool store_form = TakeOption(&argc, argv, "--store-paths");
  if (argc < 4 || argc > 5) {
    return UsageError(*FindCommand("paths"), "paths needs a postoffice, a mailbox and a folder");
  }
  const char* postoffice = argv[1];
  const char* mailbox = argv[2];
  const char* folder = argv[3];
  const char* file_name = argc == 5 ? argv[4] : "<file name>";
  Report builders(store_form);
  AddBuilders(&builders, postoffice, mailbox, folder, file_name);
  const std::string folder_directory =
      PlanResolvedFolderDirectory(postoffice, mailbox, folder).directory;
  Report files(store_form);
  AddFolderFiles(&files, folder_directory, MailboxDirectory(postoffice, mailbox));
  if (json) {
    Report all(store_form);
    for (const Report* part : {&builders, &files}) {
      for (const PathLine& line : part->lines()) all.Add(line.name.c_str(), line.path, line.creates);
    }
    PrintJson(all);
    return kExitOk;
  }
  std::printf("Postoffice \"%s\", mailbox \"%s\", folder \"%s\"; mail root \"%s\"\n\n", postoffice,
              mailbox, folder,
              store_form ? Settings().mail_root : ShownPath(Settings().mail_root).c_str());
  PrintText(builders);
  if (folder[0] != '\\' && folder[0] != '/') {
    std::printf("  (GetMessageFolderPath and GetBlobFilePath take the folder text of the legacy\n"
                "   calls, which carries its own leading \\, as in \\Inbox)\n");
  }
  std::printf("\nFiles of the resolved folder:\n");
  PrintText(files);
  std::printf("\nOn disk: %s (%s)\n", ShownPath(folder_directory).c_str(),
              platform::IsDirectory(folder_directory) ? "exists" : "missing");
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
