// Runs the storeadm program as an administrator would.

#include <filesystem>
#include <string>

#include "support/test_store.h"
#include "support/program_run.h"

namespace qx {
namespace {

using test::kLibraryRootKey;
using test::kProvidersBlockKey;
using test::ProgramRun;

class StoreadmTest : public test::StoreTest {
 protected:
  ProgramRun Storeadm(const std::string& arguments) {
    std::string command = std::string(QX_BINARY_DIR) + "/storeadm " + arguments + " 2>&1";
    return test::RunCommandLine(command);
  }
  std::string Po() const { return mail_root() + "\\PO"; }
};

TEST_F(StoreadmTest, ConfigShowsEachSettingWithItsSource) {
  registry().SetDword(kLibraryRootKey, "Mailbox Size Calc Mode", 2);
  registry().SetDword(kProvidersBlockKey, "Apply Timeout", 7);
  registry().Save();
  // A line the registry editor would not accept is reported, not fatal.
  std::string text = ReadFile(registry().path());
  WriteFile(registry().path(), text + "\"Broken\"=dword:nothex\r\n");

  ProgramRun run = Storeadm("config");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  const std::string& out = run.output;
  std::string root_key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera";
  EXPECT_NE(out.find("Registry file: " + registry().path()), std::string::npos) << out;
  EXPECT_NE(out.find("STOREADM.EXE (from QXSTORE_PROGRAM; not one of the server's programs)"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\"" + mail_root() + "\"  (" + root_key + "\\Mail Root)"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Mailbox Size Calc Mode           2  (" + root_key), std::string::npos)
      << out;
  EXPECT_NE(out.find("Store Event Notification Mode    0  (default)"), std::string::npos) << out;
  EXPECT_NE(out.find("Read Wait Timeout                60  (default)"), std::string::npos) << out;
  EXPECT_NE(out.find("Apply Timeout                    7  (HKEY_LOCAL_MACHINE\\SOFTWARE\\Tal "
                     "Mera\\Tal Mera\\Providers\\Apply Timeout)"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Registry warnings (these lines were skipped):\n  line "), std::string::npos)
      << out;

  EXPECT_EQ(Storeadm("config extra").exit_code, 2);
}

TEST_F(StoreadmTest, PathsPrintsEveryBuilderAndCreatesNothing) {
  ProgramRun run = Storeadm("paths PO MB '\\Public\\Sales' A.MAI --store-paths");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  const std::string& out = run.output;
  EXPECT_NE(out.find("GetPostofficeDirectory   " + Po() + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("ResolveFolderDirectory   " + Po() + "\\PUBROOT\\Sales\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("creates when missing: " + Po() + "\\PUBROOT\\Sales\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("GetMessageFolderPath     " + Po() + "\\MAILROOT\\MB\\Public\\Sales\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("GetBlobFilePath          " + Po() + "\\MAILROOT\\MB\\Public\\Sales\\A.MAI"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("change flag              " + Po() + "\\PUBROOT\\Sales\\_CHANGE.DTY"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("(missing)"), std::string::npos) << out;

  // Shown as the shell names them unless the store form is asked for.
  run = Storeadm("paths PO MB Sent");
  EXPECT_NE(run.output.find("ResolveFolderDirectory   " + mail_root() + "/PO/MAILROOT/MB/Sent\n"),
            std::string::npos)
      << run.output;
  run = Storeadm("paths PO MB '$FILEROOT/Docs' --store-paths");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("GetHierarchyFolderPath   " + Po() + "\\FILEROOT\\MB/Docs\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("creates when missing: " + Po() + "\\FILEROOT\n"), std::string::npos)
      << run.output;
  EXPECT_TRUE(std::filesystem::is_empty(mail_root()));
}

TEST_F(StoreadmTest, UsageErrorsAndHelp) {
  ProgramRun run = Storeadm("paths PO MB");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.output.find("usage: storeadm paths <postoffice> <mailbox> <folder>"),
            std::string::npos)
      << run.output;
  run = Storeadm("frobnicate");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.output.find("storeadm: unknown command 'frobnicate'"), std::string::npos);
  EXPECT_EQ(Storeadm("").exit_code, 2);
  run = Storeadm("--help");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.output.find("  paths "), std::string::npos) << run.output;
  run = Storeadm("paths --help");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.output.find("usage: storeadm paths"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace qx
