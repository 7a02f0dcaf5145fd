// storeadm ls: the messages of a folder, one line each, read through the
// legacy enumeration as the services read it (so the folder's index is
// rebuilt first when it is missing), optionally through an XSL stylesheet.

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "command.h"
#include "folder_argument.h"
#include "store_objects.h"
#include "report.h"
#include "forwarding_check.h"
#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "index/index_document.h"
#include "platform/text_compare.h"
#include "platform/file.h"
#include "qxstore.h"
#include "json_text.h"

namespace qx::storeadm {

using platform::StartsWithNoCase;
namespace {

struct Options {
  const char* postoffice = nullptr;
  const char* mailbox = nullptr;
  std::string folder;
  const char* stylesheet_path = nullptr;
  bool unread_only = false;
  bool rescan = false;
  bool json = false;
};

struct Listed {
  int32_t uid = 0;
  std::string id;
  std::string date;
  std::string from;
  std::string subject;
  std::string size;
  std::string flags;
  bool read = false;
};

int RunLs(int argc, char** argv);

const Command kLs{
    "ls", "<postoffice> <mailbox> <folder> [--xsl <file>] [--unread] [--rescan] [--json]",
    "lists a folder's messages from its index: UID, file, date, from, subject, size, flags", RunLs, nullptr, "--xsl= --unread --rescan --json", true};
const CommandRegistration kRegisterLs(kLs);

// The enumeration takes folder texts with their own leading separator
// ("\Inbox"); "Public..." texts name public folders as they are.
std::string LegacyFolderText(const char* folder) {
  if (*folder == '\\' || *folder == '/' || StartsWithNoCase(folder, "Public")) return folder;
  return std::string("\\") + folder;
}

// Returns false with a usage message printed when the arguments are wrong.
bool ParseOptions(int argc, char** argv, Options* options, int* exit_code) {
  if (argc < 4) {
    *exit_code = UsageError(kLs, "expected a postoffice, a mailbox and a folder");
    return false;
  }
  options->postoffice = argv[1];
  options->mailbox = argv[2];
  options->folder = LegacyFolderText(argv[3]);
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--xsl") == 0 && i + 1 < argc) {
      options->stylesheet_path = argv[++i];
    } else if (std::strcmp(argv[i], "--unread") == 0) {
      options->unread_only = true;
    } else if (std::strcmp(argv[i], "--rescan") == 0) {
      options->rescan = true;
    } else if (std::strcmp(argv[i], "--json") == 0) {
      options->json = true;
    } else {
      *exit_code = UsageError(kLs, (std::string("unexpected argument ") + argv[i]).c_str());
      return false;
    }
  }
  return true;
}

// Reads the stylesheet into the record's filter; false with the reason
// printed when it cannot serve as one.
bool LoadStylesheet(const char* path, MESSAGELISTRECORD* list) {
  std::string text;
  if (!platform::ReadWholeFile(path, &text)) {
    ReportError("cannot read the stylesheet %s\n", path);
    return false;
  }
  if (text.size() >= sizeof list->filter) {
    ReportError("the stylesheet %s is longer than %zu bytes\n", path,
                 sizeof list->filter - 1);
    return false;
  }
  pugi::xml_document parsed;
  if (!parsed.load_string(text.c_str())) {
    ReportError("the stylesheet %s is not well-formed XML\n", path);
    return false;
  }
  std::memcpy(list->filter, text.c_str(), text.size() + 1);
  return true;
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

// The element text is cut to the record's size; what was cut off is
// missing here, and what came before is still read.
Listed ReadItem(const MESSAGEITEMRECORD& item) {
  Listed listed;
  listed.uid = item.uid;
  listed.id = item.id;
  pugi::xml_document element;
  element.load_string(item.xml);
  pugi::xml_node node = element.first_child();
  listed.date = node.child("MESSAGEDATE").text().get();
  listed.from = OneLine(node.child("FROM").text().get());
  listed.subject = OneLine(node.child("SUBJECT").text().get());
  listed.size = node.child("SIZE").text().get();
  listed.flags = node.child("FLAGSTATUS").text().get();
  listed.read = std::strcmp(node.child("READ").text().get(), "1") == 0;
  return listed;
}

// nullopt (with the reason printed) when the remote host did not answer.
std::optional<std::vector<Listed>> Enumerate(MESSAGELISTRECORD* list, bool* found_any) {
  std::vector<Listed> items;
  auto item = std::make_unique<MESSAGEITEMRECORD>();
  *found_any = false;
  for (uint32_t more = MessageItemFindFirst(list, item.get()); more == 1;
       more = MessageItemFindNext(list, item.get())) {
    *found_any = true;
    items.push_back(ReadItem(*item));
  }
  const bool failed = ReportForwardingFailure();
  MessageItemFindClose(list);
  if (failed) return std::nullopt;
  return items;
}

// True when the folder's index loads: an empty listing is then an empty
// folder, not an unreadable one.
bool FolderIndexLoads(const MESSAGELISTRECORD& list, std::string* directory) {
  char path[kFlagPathSize];
  if (!GetMessageFolderPath(path, sizeof path, list.postoffice, list.mailbox, list.folder)) {
    return false;
  }
  *directory = path;
  XmlDocument document = XmlDocument::New();
  return LoadDocumentFile(document, IndexFilePath(path, sizeof path + 16));
}

// SIZE is a decimal number in every index the store writes; anything else
// is shown as the text it is.
std::string JsonSize(const std::string& size) {
  if (size.empty()) return "null";
  if (size.find_first_not_of("0123456789") == std::string::npos) return size;
  return JsonString(size);
}

void PrintJson(const std::vector<Listed>& items) {
  std::printf("[");
  for (size_t i = 0; i < items.size(); ++i) {
    const Listed& m = items[i];
    std::printf("%s\n  {\"uid\": %d, \"id\": %s, \"date\": %s, \"from\": %s, \"subject\": %s, "
                "\"size\": %s, \"flags\": %s, \"read\": %s}",
                i == 0 ? "" : ",", m.uid, JsonString(m.id).c_str(), JsonString(m.date).c_str(),
                JsonString(m.from).c_str(), JsonString(m.subject).c_str(),
                JsonSize(m.size).c_str(), JsonString(m.flags).c_str(),
                m.read ? "true" : "false");
  }
  std::printf("%s]\n", items.empty() ? "" : "\n");
}

void PrintLines(const std::vector<Listed>& items) {
  for (const Listed& m : items) {
    std::printf("%d\t%s\t%s\t%s\t%s\t%s\t%s\n", m.uid, m.id.c_str(), m.date.c_str(), m.from.c_str(),
                m.subject.c_str(), m.size.c_str(), m.flags.c_str());
  }
}

int RunLs(int argc, char** argv) {
  FolderArgument folder_argument;
  if (argc > 3) {
    if (int usage = TakeLegacyFolderArgument(kLs, argv, 3, &folder_argument); usage != kExitOk) return usage;
  }
  Options options;
  int exit_code = kExitOk;
  if (!ParseOptions(argc, argv, &options, &exit_code)) return exit_code;

  if (!RequireFolder(options.postoffice, options.mailbox, folder_argument.index_text.c_str())) return kExitFailure;
  auto list = std::make_unique<MESSAGELISTRECORD>();
  std::memset(list.get(), 0, sizeof *list);
  std::snprintf(list->postoffice, sizeof list->postoffice, "%s", options.postoffice);
  std::snprintf(list->mailbox, sizeof list->mailbox, "%s", options.mailbox);
  std::snprintf(list->folder, sizeof list->folder, "%s", options.folder.c_str());
  list->rescan = options.rescan ? 1 : 0;
  if (options.stylesheet_path != nullptr && !LoadStylesheet(options.stylesheet_path, list.get())) {
    return kExitFailure;
  }

  bool found_any = false;
  std::optional<std::vector<Listed>> listed = Enumerate(list.get(), &found_any);
  if (!listed) return kExitFailure;
  std::vector<Listed>& items = *listed;
  std::string directory;
  if (!found_any && !FolderIndexLoads(*list, &directory)) {
    ReportError("the index of folder %s could not be read (%s)\n",
                 options.folder.c_str(), directory.c_str());
    return kExitFailure;
  }
  if (!found_any && options.stylesheet_path != nullptr) {
    ReportError("the stylesheet left no BASEELEMENT/ELEMENT entries\n");
  }
  if (options.unread_only) std::erase_if(items, [](const Listed& m) { return m.read; });
  if (options.json) {
    PrintJson(items);
  } else {
    PrintLines(items);
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
