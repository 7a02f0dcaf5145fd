#include "store_objects.h"

#include "frame/store_paths.h"
#include "platform/file.h"
#include "platform/path_resolver.h"
#include "remote/forwarding_decision.h"
#include "remote/remote_state.h"
#include "report.h"
#include "store_walk.h"

namespace qx::storeadm {

bool CallsRunHere() {
  return Remote().current_host.empty() && ForceDefaultHostEnabled() == 0;
}

std::string ShownPath(const std::string& store_path) {
  std::string native = platform::ToNativePath(store_path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

bool RequirePostoffice(const char* postoffice) {
  if (!CallsRunHere()) return true;
  char directory[kStorePathSize];
  if (GetPostofficeDirectory(directory, sizeof directory, postoffice) == 0) {
    ReportError("the postoffice name \"%s\" is not one the store takes", postoffice);
    return false;
  }
  if (platform::IsDirectory(directory)) return true;
  ReportError("no postoffice %s (%s)", postoffice, ShownPath(directory).c_str());
  return false;
}

bool RequireMailbox(const char* postoffice, const char* mailbox) {
  if (!RequirePostoffice(postoffice)) return false;
  if (!CallsRunHere()) return true;
  const std::string directory = PostofficeMailboxDirectory(postoffice, mailbox);
  if (*mailbox != '\0' && platform::IsDirectory(directory)) return true;
  ReportError("no mailbox %s in postoffice %s (%s)", mailbox, postoffice,
              ShownPath(directory).c_str());
  return false;
}

bool RequireMailboxes(const char* postoffice, const char* mailbox, bool all,
                      std::vector<std::string>* mailboxes) {
  if (all) {
    if (!RequirePostoffice(postoffice)) return false;
    *mailboxes = ListMailboxes(postoffice);
    return true;
  }
  if (!RequireMailbox(postoffice, mailbox)) return false;
  mailboxes->assign(1, mailbox);
  return true;
}

bool RequireFolder(const char* postoffice, const char* mailbox, const char* folder,
                   std::string* directory) {
  if (!RequireMailbox(postoffice, mailbox)) return false;
  const std::string planned = PlanResolvedFolderDirectory(postoffice, mailbox, folder).directory;
  if (directory != nullptr) *directory = planned;
  if (!CallsRunHere()) return true;
  if (!planned.empty() && platform::IsDirectory(planned)) return true;
  ReportError("no folder \"%s\" in mailbox %s (%s)", folder, mailbox,
              ShownPath(planned).c_str());
  return false;
}

bool RequireDirectory(const char* what, const std::string& path) {
  if (!CallsRunHere() || platform::IsDirectory(path)) return true;
  ReportError("no %s %s", what, ShownPath(path).c_str());
  return false;
}

}  // namespace qx::storeadm
