// What storeadm brings into the store takes the store's modes, never the
// source file's mode or time.

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

class StoreadmFileModesTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    mailbox_ = mail_root() + "/PO/MAILROOT/box";
    MakeDirs(mailbox_ + "/Inbox");
  }

  // Runs storeadm under umask 0, so that only the store decides the modes.
  test::ProgramRun Storeadm(const std::string& arguments) {
    return test::RunCommandLine("umask 0; " + std::string(QX_BINARY_DIR) + "/storeadm " +
                                arguments + " 2>&1");
  }

  // A message file outside the store, of the given mode, last written in 2001.
  std::string Source(const std::string& name, mode_t mode) {
    const std::string path = root() + "/" + name;
    WriteFile(path, "From: a@example.org\r\nSubject: " + name + "\r\n\r\nbody\r\n");
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }

  static struct stat Stat(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
  }

  // The file names storeadm deliver printed, one a line.
  static std::vector<std::string> Names(const std::string& output) {
    std::vector<std::string> names;
    for (size_t start = 0, end; start < output.size(); start = end + 1) {
      end = output.find('\n', start);
      if (end == std::string::npos) end = output.size();
      if (end > start) names.push_back(output.substr(start, end - start));
    }
    return names;
  }

  std::string mailbox_;
};

TEST_F(StoreadmFileModesTest, DeliveredMessagesAndNewFoldersAreTheStoresAlone) {
  const time_t before = std::time(nullptr);
  test::ProgramRun run = Storeadm("deliver PO box Inbox " + Source("open.eml", 0644) + " " +
                                  Source("read-only.eml", 0444));
  ASSERT_EQ(run.exit_code, 0) << run.output;
  const std::vector<std::string> names = Names(run.output);
  ASSERT_EQ(names.size(), 2u) << run.output;
  for (const std::string& name : names) {
    const struct stat info = Stat(mailbox_ + "/Inbox/" + name);
    EXPECT_EQ(info.st_mode & 07777, 0600u) << name;
    EXPECT_GE(info.st_mtime, before) << name;
  }
  EXPECT_EQ(Stat(mailbox_ + "/Inbox/_index.xml").st_mode & 07777, 0600u);

  run = Storeadm("folder add PO box '\\' Projects");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(Stat(mailbox_ + "/Projects").st_mode & 07777, 0700u);

  // A store shared with its group, as the registry says.
  registry().SetString(test::kLibraryRootKey, "Store File Mode", "0640");
  registry().SetString(test::kLibraryRootKey, "Store Directory Mode", "not a mode");
  registry().Save();
  run = Storeadm("deliver PO box Inbox " + Source("third.eml", 0604));
  ASSERT_EQ(run.exit_code, 0) << run.output;
  ASSERT_EQ(Names(run.output).size(), 1u) << run.output;
  EXPECT_EQ(Stat(mailbox_ + "/Inbox/" + Names(run.output)[0]).st_mode & 07777, 0640u);

  run = Storeadm("config");
  EXPECT_NE(run.output.find("Store File Mode                  0640  (HKEY_LOCAL_MACHINE\\SOFTWARE"
                            "\\Wow6432Node\\Tal Mera\\Tal Mera\\Store File Mode)"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("Store Directory Mode             0700  (default; \"not a mode\" in "
                            "the registry is not a usable mode)"),
            std::string::npos)
      << run.output;
}

}  // namespace
}  // namespace qx
