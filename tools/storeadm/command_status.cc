// storeadm status: the folder status cached in "_FOLDER.DAT", for one folder
// or for every folder of a mailbox. A folder that has an index but no cache
// file is counted from its index (nothing is written).

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "store_walk.h"
#include "folder_argument.h"
#include "progress.h"
#include "json_text.h"
#include "store_objects.h"
#include "report.h"
#include "frame/store_paths.h"
#include "index/folder_status.h"
#include "index/index_document.h"
#include "folder/folder_files.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/listing.h"

namespace qx::storeadm {
namespace {

using Status = std::array<uint32_t, kFolderStatusFields>;


enum class Source { kCached, kIndex, kDamaged, kNone };

const char* SourceText(Source source) {
  switch (source) {
    case Source::kCached: return kFolderStatusFileName;
    case Source::kIndex: return "_index.xml (no _FOLDER.DAT)";
    case Source::kDamaged: return "_index.xml does not load";
    case Source::kNone: return "none";
  }
  return "";
}

void PrintFolderStatus(const Status& status) {
  std::printf("  messages   %u\n", status[kStatusEntries]);
  std::printf("  seen       %u\n", status[kStatusSeen]);
  std::printf("  unseen     %u\n", status[kStatusEntries] - std::min(status[kStatusSeen], status[kStatusEntries]));
  std::printf("  recent     %u\n", status[kStatusRecent]);
  std::printf("  answered   %u\n", status[kStatusAnswered]);
  std::printf("  flagged    %u\n", status[kStatusFlagged]);
  std::printf("  deleted    %u\n", status[kStatusDeleted]);
  std::printf("  last UID   %u\n", status[kStatusLastUid]);
  std::printf("  raw       ");
  for (uint32_t value : status) std::printf(" %u", value);
  std::printf("\n");
}

JsonObject StatusObject(const std::string& name, const Status& status, Source source) {
  const bool counted = source == Source::kCached || source == Source::kIndex;
  const uint32_t entries = status[kStatusEntries];
  JsonObject object;
  object.Add("folder", name).Add("source", SourceText(source));
  object.AddNumber("messages", counted ? entries : 0);
  object.AddNumber("unseen", counted ? entries - std::min(status[kStatusSeen], entries) : 0);
  object.AddNumber("recent", counted ? status[kStatusRecent] : 0);
  object.AddNumber("answered", counted ? status[kStatusAnswered] : 0);
  object.AddNumber("flagged", counted ? status[kStatusFlagged] : 0);
  object.AddNumber("deleted", counted ? status[kStatusDeleted] : 0);
  object.AddNumber("last_uid", counted ? status[kStatusLastUid] : 0);
  return object;
}

int ShowOneFolder(const char* postoffice, const char* mailbox, const char* folder, bool json) {
  if (!RequireFolder(postoffice, mailbox, folder)) return kExitFailure;
  const std::string path = CachedStatusPath(postoffice, mailbox, folder);
  Status status{};
  if (GetCachedStatus(postoffice, mailbox, folder, status.data()) == 0) {
    return Fail("no cached status: %s is missing or empty", ShownPath(path).c_str());
  }
  if (json) {
    PrintJsonArray({StatusObject(folder, status, Source::kCached)});
    return kExitOk;
  }
  std::printf("Folder status of postoffice \"%s\", mailbox \"%s\", folder \"%s\"\n", postoffice,
              mailbox, folder);
  std::printf("  file       %s\n", ShownPath(path).c_str());
  const int64_t size = platform::GetFileSize(path);
  if (size != static_cast<int64_t>(kFolderStatusSize)) {
    std::printf("  (the file holds %lld bytes, not %zu)\n", static_cast<long long>(size),
                kFolderStatusSize);
  }
  PrintFolderStatus(status);
  return kExitOk;
}

Source ReadStatus(const std::string& directory, Status* status) {
  if (ReadFolderStatusFile(FolderFilePath(directory, kFolderStatusFileName), status->data()) != 0) {
    return Source::kCached;
  }
  XmlDocument document = CreateIndexDocument("");
  if (!document) return Source::kNone;
  const std::string index_path = FolderFilePath(directory, kIndexFileName);
  if (platform::GetFileSize(index_path) < 0) return Source::kNone;
  // A damaged index prints its own reason before its line.
  if (!LoadDocumentFile(document, index_path)) return Source::kDamaged;
  return ComputeFolderStatus(document, *status) ? Source::kIndex : Source::kNone;
}

void PrintTableHeader() {
  std::printf("%-32s %8s %8s %8s %8s %8s %8s %10s  %s\n", "folder", "messages", "unseen", "recent",
              "answered", "flagged", "deleted", "last UID", "source");
}

void PrintTableLine(const std::string& name, const Status& status, Source source) {
  if (source == Source::kNone || source == Source::kDamaged) {
    std::printf("%-32s %8s %8s %8s %8s %8s %8s %10s  %s\n", name.c_str(), "-", "-", "-", "-", "-",
                "-", "-", SourceText(source));
    return;
  }
  const uint32_t entries = status[kStatusEntries];
  const uint32_t unseen = entries - std::min(status[kStatusSeen], entries);
  std::printf("%-32s %8u %8u %8u %8u %8u %8u %10u  %s\n", name.c_str(), entries, unseen,
              status[kStatusRecent], status[kStatusAnswered], status[kStatusFlagged],
              status[kStatusDeleted], status[kStatusLastUid], SourceText(source));
}

int ShowMailbox(const char* postoffice, const char* mailbox, bool json) {
  char mailbox_directory[kStorePathSize];
  if (!RequireMailbox(postoffice, mailbox)) return kExitFailure;
  if (GetFolderDirectory(mailbox_directory, sizeof mailbox_directory, postoffice, mailbox,
                         nullptr) == 0) {
    return Fail("the mailbox directory is too long or leads out of the store");
  }
  if (!platform::IsDirectory(mailbox_directory)) {
    return Fail("no mailbox directory %s", ShownPath(mailbox_directory).c_str());
  }
  std::vector<FolderLine> folders;
  // The mailbox directory keeps the cache of the folder named "".
  folders.push_back({"(mailbox directory)", mailbox_directory});
  CollectFolders(mailbox_directory, "", &folders);

  if (!json) {
    std::printf("Folder status of postoffice \"%s\", mailbox \"%s\" (%s)\n", postoffice, mailbox,
                ShownPath(mailbox_directory).c_str());
    PrintTableHeader();
  }
  std::vector<JsonObject> objects;
  Progress progress("status: folders");
  for (size_t i = 0; i < folders.size(); ++i) {
    Status status{};
    const Source source = ReadStatus(folders[i].directory, &status);
    if (i == 0 && source == Source::kNone) continue;
    progress.Step(i + 1, folders.size());
    if (json) {
      objects.push_back(StatusObject(folders[i].name, status, source));
    } else {
      PrintTableLine(folders[i].name, status, source);
    }
  }
  if (json) PrintJsonArray(objects);
  progress.Finish();
  return kExitOk;
}

int RunStatus(int argc, char** argv);

const CommandRegistration kStatus(
    {"status", "<postoffice> <mailbox> [<folder>] [--json]",
     "prints a folder's cached status (_FOLDER.DAT), or every folder's of a mailbox", RunStatus,
     nullptr, "--json"});

int RunStatus(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc < 3 || argc > 4) {
    return UsageError(*FindCommand("status"), "status needs a postoffice and a mailbox");
  }
  FolderArgument folder_argument;
  if (argc > 3) {
    if (int usage = TakeFolderArgument(*FindCommand("status"), argv, 3, &folder_argument); usage != kExitOk) return usage;
  }
  if (argc == 4) return ShowOneFolder(argv[1], argv[2], argv[3], json);
  return ShowMailbox(argv[1], argv[2], json);
}

}  // namespace
}  // namespace qx::storeadm
