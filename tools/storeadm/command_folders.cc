// storeadm folders: the folder tree of a mailbox (or of the public, file or
// contact tree), read through the folder enumeration as clients read it, so
// the child lists it shows are the ones they get.

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "command.h"
#include "store_objects.h"
#include "forwarding_check.h"
#include "qxstore.h"
#include "store/store_folder_record.h"
#include "json_text.h"

namespace qx::storeadm {
namespace {

// Far deeper than any mailbox; stops a directory loop.
constexpr int kMaxDepth = 64;

struct FolderNode {
  std::string name;
  std::string path;  // the parent path its children are enumerated under
  std::vector<FolderNode> children;
};

std::string ChildPath(const std::string& parent, const std::string& name) {
  if (IsTopLevelParent(parent)) return name;
  std::string path = parent;
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path + "/" + name;
}

STOREFOLDER ParentRecord(const char* postoffice, const char* mailbox, const std::string& parent) {
  STOREFOLDER record{};
  std::snprintf(record.postoffice, sizeof record.postoffice, "%s", postoffice);
  std::snprintf(record.mailbox, sizeof record.mailbox, "%s", mailbox);
  std::snprintf(record.parent, sizeof record.parent, "%s", parent.c_str());
  return record;
}

// The children of `parent`, each with its own children, one folder list
// per level as the size computation does it; nullopt (with the reason
// printed) when the remote host did not answer.
std::optional<std::vector<FolderNode>> ReadTree(const char* postoffice, const char* mailbox,
                                                const std::string& parent, int depth) {
  std::vector<FolderNode> nodes;
  if (depth > kMaxDepth) return nodes;
  STOREFOLDER record = ParentRecord(postoffice, mailbox, parent);
  TLSFOLDERLIST* list = nullptr;
  CreateTLSFolderList(&list);
  for (uint32_t found = TLS_StoreFolderFindFirst(&record, list); found != 0;
       found = TLS_StoreFolderFindNext(&record, list)) {
    FolderNode node;
    node.name = RecordText(record.name);
    node.path = ChildPath(parent, node.name);
    nodes.push_back(std::move(node));
  }
  const bool failed = ReportForwardingFailure();
  TLS_StoreFolderFindClose(&record, list);
  FreeTLSFolderList(&list);
  if (failed) return std::nullopt;
  for (FolderNode& node : nodes) {
    auto children = ReadTree(postoffice, mailbox, node.path, depth + 1);
    if (!children) return std::nullopt;
    node.children = std::move(*children);
  }
  return nodes;
}

void PrintIndented(const std::vector<FolderNode>& nodes, int depth) {
  for (const FolderNode& node : nodes) {
    std::printf("%*s%s\n", 2 * depth, "", node.name.c_str());
    PrintIndented(node.children, depth + 1);
  }
}

std::string Json(const std::vector<FolderNode>& nodes) {
  std::string out = "[";
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (i > 0) out += ",";
    out += "{\"name\":" + JsonString(nodes[i].name) + ",\"path\":" + JsonString(nodes[i].path) +
           ",\"children\":" + Json(nodes[i].children) + "}";
  }
  return out + "]";
}

int RunFolders(int argc, char** argv);

const Command kFolders{"folders", "<postoffice> <mailbox> [<parent>] [--json]",
                       "lists the folder tree below a parent path (default \"\\\", the mailbox's "
                       "top folder)",
                       RunFolders, nullptr, "--json", true};
const CommandRegistration kRegisterFolders(kFolders);

int RunFolders(int argc, char** argv) {
  bool json = false;
  std::vector<const char*> arguments;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else {
      arguments.push_back(argv[i]);
    }
  }
  if (arguments.size() < 2 || arguments.size() > 3) {
    return UsageError(kFolders, "folders needs a postoffice and a mailbox");
  }
  if (!RequireMailbox(arguments[0], arguments[1])) return kExitFailure;
  const std::string parent = arguments.size() == 3 ? arguments[2] : "\\";
  std::optional<std::vector<FolderNode>> read = ReadTree(arguments[0], arguments[1], parent, 0);
  if (!read) return kExitFailure;
  const std::vector<FolderNode>& tree = *read;
  if (json) {
    std::printf("%s\n", Json(tree).c_str());
  } else {
    std::printf("Folders of %s/%s below \"%s\":\n", arguments[0], arguments[1], parent.c_str());
    PrintIndented(tree, 1);
    if (tree.empty()) std::printf("  (none)\n");
  }
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
