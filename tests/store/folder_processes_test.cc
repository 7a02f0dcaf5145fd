// Two processes adding folders to one parent and enumerating it at the same
// time: no lock guards the child list, so it must never lose a folder.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "qxstore.h"
#include "support/folder_test_fixture.h"

namespace qx {
namespace {

constexpr int kFoldersPerProcess = 30;

class FolderProcessesTest : public test::FolderTest {};

bool Lists(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Adds its folders one by one, enumerating the parent after each; returns
// how many of its own folders it could not add or did not see listed.
int AddAndEnumerate(const std::string& prefix) {
  int missing = 0;
  for (int i = 0; i < kFoldersPerProcess; ++i) {
    std::string name = prefix + std::to_string(i);
    STOREFOLDER folder = test::FolderTest::Record("Inbox", name);
    if (StoreFolderAdd(&folder) != 1) ++missing;
    if (!Lists(test::FolderTest::Children("Inbox"), name)) ++missing;
  }
  return missing;
}

TEST_F(FolderProcessesTest, ConcurrentAddsAreAllListed) {
  MakeDirs(MailboxDir() + "/Inbox/Existing");
  std::vector<pid_t> children;
  for (const char* prefix : {"p", "q"}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(std::min(AddAndEnumerate(prefix), 100));
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "folders a process could not add or see";
  }
  std::vector<std::string> names = Children("Inbox");
  EXPECT_EQ(names.size(), 2u * kFoldersPerProcess + 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Existing"), 1);
  // The list written last holds every folder too.
  std::string text = ReadFile(MailboxDir() + "/Inbox/_folder.xml");
  for (const char* prefix : {"p", "q"}) {
    for (int i = 0; i < kFoldersPerProcess; ++i) {
      std::string element = "<![CDATA[" + std::string(prefix) + std::to_string(i) + "]]>";
      EXPECT_NE(text.find(element), std::string::npos) << element;
    }
  }
}

}  // namespace
}  // namespace qx
