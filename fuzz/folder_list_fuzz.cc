// Arbitrary bytes as a mailbox's `_folder.xml`, the child list that folder
// enumeration trusts while no `_folder.dty` marks it stale. The enumeration
// must hand out each distinct name the file lists exactly once, in order,
// each cut to the record's field.

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "fuzz_support.h"
#include "store/folder_find.h"
#include "store/folder_index_file.h"
#include "store/folder_list.h"

namespace {

std::string g_mailbox;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_mailbox = qx::fuzz::MailRoot() + "/MAIN/MAILROOT/anne";
  qx::fuzz::MakeDirectories(g_mailbox + "/Inbox");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qx::fuzz::WriteBytes(g_mailbox + "/_folder.xml", qx::fuzz::AsText(data, size));
  const auto listed = qx::ReadFolderIndexNames(g_mailbox);
  const std::set<std::string> names = listed ? std::set<std::string>(listed->begin(), listed->end())
                                             : std::set<std::string>();
  qx::FolderIndexListsName(g_mailbox, "Inbox");

  STOREFOLDER folder;
  std::memset(&folder, 0, sizeof folder);
  std::strcpy(folder.postoffice, "MAIN");
  std::strcpy(folder.mailbox, "anne");
  qx::FolderList list;
  auto expected = names.begin();
  for (uint32_t found = qx::FindFirstChildFolder(&folder, &list); found != 0;
       found = qx::FindNextChildFolder(&folder, &list)) {
    if (expected == names.end()) __builtin_trap();
    if (strnlen(folder.name, sizeof folder.name) == sizeof folder.name) __builtin_trap();
    if (expected->compare(0, sizeof folder.name - 1, folder.name) != 0) __builtin_trap();
    ++expected;
  }
  if (expected != names.end()) __builtin_trap();
  qx::CloseChildFolderFind(folder, &list);
  return 0;
}
