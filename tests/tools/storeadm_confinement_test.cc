// storeadm given names that lead out of the store: each command refuses with
// exit status 1 and one line on standard error, and touches nothing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

std::string TreeListing(const std::string& root) {
  std::string listing;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    listing += entry.path().string() + "\n";
  }
  return listing;
}

class StoreadmConfinementTest : public test::StoreTest {};

TEST_F(StoreadmConfinementTest, CommandsRefuseNamesAndLinksThatLeadOut) {
  const std::string mailbox = mail_root() + "/PO/MAILROOT/box";
  MakeDirs(mailbox + "/Inbox");
  MakeDirs(mail_root() + "/PO/MAILROOT/other/Inbox");
  WriteFile(mailbox + "/Inbox/A.MAI", "Subject: a\r\n\r\nbody\r\n");
  WriteFile(root() + "/outside/canary", "canary");
  ASSERT_EQ(::symlink((root() + "/outside").c_str(), (mailbox + "/Out").c_str()), 0);
  WriteFile(root() + "/source.eml", "Subject: new\r\n\r\nnew\r\n");
  const std::string source = root() + "/source.eml";

  const std::string commands[] = {
      "put PO box Inbox " + source + " ../../evil.MAI",
      "put PO box '..\\..\\..' " + source + " x.MAI",
      "put PO box Out " + source + " x.MAI",
      "cat PO box Inbox ../../../../../outside/canary",
      "cat PO box Out canary",
      "folder remove PO .. '\\' ''",
      "folder add PO box '\\' '..\\..\\..\\escape'",
      "folder add /tmp box '\\' x",
      "folder rename PO box '\\' Inbox '\\..\\..\\..\\..' outside2",
      "folder copy PO box '\\' Out '\\' Pulled",
      "deliver PO .. Inbox " + source,
      "deliver PO box Out " + source,
      "index PO box '..\\..' --rebuild",
      "index PO box Out",
  };
  const std::string before = TreeListing(root());
  for (const std::string& command : commands) {
    const test::ProgramRun run = test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm " +
                                                      command + " 2>&1 >/dev/null");
    EXPECT_EQ(run.exit_code, 1) << command << "\n" << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << command << "\n"
                                                                         << run.output;
  }
  EXPECT_EQ(TreeListing(root()), before);
  EXPECT_EQ(ReadFile(root() + "/outside/canary"), "canary");
}

}  // namespace
}  // namespace qx
