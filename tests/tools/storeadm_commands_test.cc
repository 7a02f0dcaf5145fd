// Every storeadm command, run as an operator runs it: with good arguments,
// with each kind of bad argument, and on a store object that is not there.
// A success exits 0; a failure exits 1 with one line on standard error and
// nothing on standard output; wrong arguments exit 2; --json prints an
// array of objects, and a failure under --json prints {"error": ...}.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "json_shape.h"
#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

enum class Expect { kOk, kFailure, kUsage };

struct Row {
  std::string arguments;
  Expect expect;
  std::string reason = "";  // a part of the standard error line
};

class StoreadmCommandsTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(Folder("INBOX"));
    MakeDirs(Folder("Sent"));
    MakeDirs(Folder("Contacts"));
    MakeDirs(root() + "/queue");
    WriteFile(root() + "/cal.ics",
              "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:e1\r\n"
              "DTSTART:20240101T100000Z\r\nSUMMARY:meeting\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    WriteFile(root() + "/one.eml",
              "From: a@example.org\r\nSubject: first word\r\n\r\nneedle body\r\n");
    WriteFile(root() + "/two.eml", "From: b@example.org\r\nSubject: second\r\n\r\nbody\r\n");
    const Outcome delivered = Run("deliver PO MB Inbox " + root() + "/one.eml " + root() +
                                  "/two.eml");
    ASSERT_EQ(delivered.exit_code, 0) << delivered.err;
    std::istringstream names(delivered.out);
    std::getline(names, first_file_);
  }

  std::string Folder(const std::string& name) const {
    return mail_root() + "/PO/MAILROOT/MB/" + name;
  }

  Outcome Run(const std::string& arguments, const std::string& environment = "") {
    const std::string err_path = root() + "/stderr.txt";
    const test::ProgramRun run =
        test::RunCommandLine("QXSTORE_DIAG=off " + environment + " " + QX_BINARY_DIR +
                             "/storeadm " + arguments + " 2>" + err_path);
    return {run.exit_code, run.output, ReadFile(err_path)};
  }

  static size_t Lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  }

  void Check(const Row& row) {
    const Outcome run = Run(row.arguments);
    const bool json = row.arguments.find("--json") != std::string::npos;
    SCOPED_TRACE("storeadm " + row.arguments + "\nstdout: " + run.out + "\nstderr: " + run.err);
    switch (row.expect) {
      case Expect::kOk:
        EXPECT_EQ(run.exit_code, 0);
        if (json) {
          EXPECT_TRUE(test::IsArrayOfObjects(run.out));
        }
        break;
      case Expect::kFailure:
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Lines(run.err), 1u);
        break;
      case Expect::kUsage:
        EXPECT_EQ(run.exit_code, 2);
        EXPECT_EQ(run.out, "");
        break;
    }
    if (row.expect != Expect::kOk && json) {
      EXPECT_TRUE(test::IsJsonError(run.err));
    }
    if (!row.reason.empty()) {
      EXPECT_NE(run.err.find(row.reason), std::string::npos);
    }
  }

  // Plants a fault: the first `from` in the file becomes `to`.
  static void Replace(const std::string& path, const std::string& from, const std::string& to) {
    std::string text = ReadFile(path);
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from << " in " << text;
    text.replace(at, from.size(), to);
    WriteFile(path, text);
  }

  std::string first_file_;
};

TEST_F(StoreadmCommandsTest, EveryCommandTellsSuccessFailureAndUsageApart) {
  const std::string one = root() + "/one.eml";
  const std::string queue = root() + "/queue";
  const std::string inbox = Folder("INBOX");
  const std::vector<Row> rows = {
      // Good arguments.
      {"config", Expect::kOk},
      {"config --json", Expect::kOk},
      {"paths PO MB Inbox", Expect::kOk},
      {"paths PO MB Inbox --store-paths --json", Expect::kOk},
      {"folders PO MB", Expect::kOk},
      {"folders PO MB --json", Expect::kOk},
      {"ls PO MB Inbox", Expect::kOk},
      {"ls PO MB Inbox --json", Expect::kOk},
      {"index PO MB Inbox", Expect::kOk},
      {"index PO MB Inbox --json", Expect::kOk},
      {"status PO MB", Expect::kOk},
      {"status PO MB --json", Expect::kOk},
      {"status PO MB Inbox --json", Expect::kOk},
      {"flags show PO MB Inbox 1", Expect::kOk},
      {"flags add PO MB Inbox 1 seen '\\Flagged' --json", Expect::kOk},
      {"cat PO MB Inbox 2", Expect::kOk},
      {"cat PO MB Inbox " + first_file_, Expect::kOk},
      {"put PO MB Sent " + one + " --json", Expect::kOk},
      {"queue " + queue, Expect::kOk},
      {"queue " + queue + " --json", Expect::kOk},
      {"search " + inbox + " '*needle*'", Expect::kOk},
      {"search " + inbox + " '*needle*' --json", Expect::kOk},
      {"items PO MB Inbox --json", Expect::kOk},
      {"item get PO MB Inbox " + first_file_ + " PR_SUBJECT", Expect::kOk},
      {"item get PO MB Inbox " + first_file_ + " PR_SUBJECT --json", Expect::kOk},
      {"body PO MB Inbox " + first_file_, Expect::kOk},
      {"body PO MB Inbox " + first_file_ + " --html --json", Expect::kOk},
      {"cat PO MB Inbox 2 --json", Expect::kOk},
      {"calendar add PO MB 2024-01-01T10:00 2024-01-01T11:00 meet --json", Expect::kOk},
      {"calendar remove PO MB NOPE.MAI --json", Expect::kFailure, "no appointment"},
      {"calendar check PO MB --repair --json", Expect::kOk},
      {"contacts export PO MB --json", Expect::kUsage},
      {"rm PO MB Inbox NOPE.MAI --json", Expect::kFailure, "no message NOPE.MAI"},
      {"activity PO MB --json", Expect::kOk},
      {"headers " + one + " --json", Expect::kOk},
      {"entry " + inbox + " " + first_file_ + " --json", Expect::kOk},
      {"folder add PO MB '\\' Archive --json", Expect::kOk},
      {"expunge PO MB Inbox --json", Expect::kOk},
      {"resync PO MB --json", Expect::kOk},
      {"postoffice list --json", Expect::kOk},
      {"calendar PO MB --json", Expect::kOk},
      {"calendar PO nobody", Expect::kFailure, "no mailbox"},
      {"calendar PO MB --day", Expect::kUsage},
      {"calendar check PO MB --frob", Expect::kUsage},
      {"contacts PO MB --json", Expect::kOk},
      {"contacts PO MB NoSuch", Expect::kFailure, "no folder NoSuch"},
      {"contacts NOPO MB --json", Expect::kFailure, "no postoffice"},
      {"contacts import PO MB", Expect::kUsage},
      {"contacts PO MB --bogus", Expect::kUsage, "unknown option"},
      {"quota show PO -A --json", Expect::kOk},
      {"quota set PO MB 2x", Expect::kUsage, "number of KB"},
      {"quota set PO nobody 10", Expect::kFailure, "no mailbox"},
      {"quota recalc NOPO -A", Expect::kFailure, "no postoffice"},
      {"quota frob PO MB", Expect::kUsage},
      {"check PO MB --json", Expect::kOk},
      {"check PO nobody", Expect::kFailure, "no mailbox"},
      {"check PO", Expect::kUsage},
      {"cp PO MB Inbox 1 Sent", Expect::kOk},
      {"cp PO MB Inbox 1 Inbox", Expect::kFailure, "own folder"},
      {"cp PO MB Inbox 1", Expect::kUsage},
      {"mv PO MB Inbox 99 Sent --json", Expect::kFailure, "no message with UID 99"},
      {"mv PO MB Inbox 1 NoSuch", Expect::kFailure, "no folder"},
      {"rm PO MB Inbox NOPE.MAI", Expect::kFailure, "no message NOPE.MAI"},
      {"rm PO MB Inbox", Expect::kUsage},
      {"postoffice frob", Expect::kUsage},
      {"mailbox list PO --json", Expect::kOk},
      {"mailbox create PO NewBox", Expect::kOk},
      {"mailbox create PO NewBox", Expect::kFailure, "exists already"},
      {"mailbox create PO ''", Expect::kUsage},
      {"mailbox delete PO NewBox", Expect::kOk},
      {"mailbox delete PO MB", Expect::kFailure, "--force deletes them"},
      {"mailbox delete PO nobody --force", Expect::kFailure, "no mailbox"},
      {"mailbox list NOPO", Expect::kFailure, "no postoffice"},
      {"mailbox create PO X --force", Expect::kUsage},
      {"ical " + root() + "/cal.ics --json", Expect::kOk},
      {"ical", Expect::kUsage},
      {"ical PO MB", Expect::kUsage},
      {"ical " + root() + "/missing.ics", Expect::kFailure, "cannot be read"},
      {"ical PO nobody Calendar --json", Expect::kFailure, "no mailbox"},
      {"resync PO nobody", Expect::kFailure, "no mailbox"},
      {"resync PO MB Inbox extra", Expect::kUsage},
      {"deliver PO MB Sent " + one + " --json", Expect::kOk},
      {"--version", Expect::kOk},
      {"help folders", Expect::kOk},
      {"ls PO MB /inbox/", Expect::kOk},
      {"ls PO MB ''", Expect::kUsage, "the folder is empty"},
      {"index PO MB ''", Expect::kUsage, "the folder is empty"},
      {"cat PO MB '$FILEROOT/Docs' 1", Expect::kUsage, "mailbox and the public folders only"},
      // Wrong arguments.
      {"", Expect::kUsage},
      {"frobnicate", Expect::kUsage, "unknown command"},
      {"ls PO MB", Expect::kUsage},
      {"ls PO MB Inbox --bogus", Expect::kUsage, "unknown option --bogus"},
      {"folders PO MB --bogus --json", Expect::kUsage},
      {"ls PO MB Inbox --xsl", Expect::kUsage, "--xsl needs a value"},
      {"flags add PO MB Inbox 1 garbage", Expect::kUsage, "unknown flag garbage"},
      {"flags add PO MB Inbox 1", Expect::kUsage},
      {"flags frob PO MB Inbox 1", Expect::kUsage},
      {"index PO MB Inbox --force", Expect::kUsage},
      {"paths PO MB Inbox --host elsewhere", Expect::kUsage, "--host does not apply"},
      {"config extra", Expect::kUsage},
      {"items PO MB Inbox --type 9", Expect::kUsage},
      // Store objects that are not there.
      {"folders PO nobody", Expect::kFailure, "no mailbox nobody"},
      {"folders NOPO MB --json", Expect::kFailure, "no postoffice NOPO"},
      {"size NOPO", Expect::kFailure, "no postoffice NOPO"},
      {"queue /nonexistent", Expect::kFailure, "no queue directory"},
      {"ls PO MB NoSuch", Expect::kFailure, "no folder \"NoSuch\""},
      {"ls PO MB NoSuch --json", Expect::kFailure},
      {"index PO MB NoSuch", Expect::kFailure, "no folder"},
      {"index PO MB Inbox --rebuild", Expect::kFailure, "--rebuild would drop"},
      {"expunge PO MB NoSuch", Expect::kFailure, "no folder"},
      {"status PO MB NoSuch", Expect::kFailure, "no folder"},
      {"status PO nobody", Expect::kFailure, "no mailbox"},
      {"flags show PO MB Inbox 99", Expect::kFailure, "no message with UID 99"},
      {"flags add PO MB Inbox NOPE.MAI seen", Expect::kFailure, "no message NOPE.MAI"},
      {"cat PO MB Inbox 99", Expect::kFailure, "no message with UID 99"},
      {"cat PO MB Inbox NOPE.MAI", Expect::kFailure},
      {"put PO MB NoSuch " + one, Expect::kFailure, "no folder"},
      {"put PO MB Inbox " + root() + "/missing.eml", Expect::kFailure, "cannot open"},
      {"put PO MB Inbox " + one + " " + first_file_, Expect::kFailure, "exists already"},
      {"deliver PO MB NoSuch " + one, Expect::kFailure, "no folder"},
      {"deliver PO MB Inbox " + root() + "/missing.eml", Expect::kFailure, "cannot copy"},
      {"items PO nobody Inbox", Expect::kFailure, "no mailbox"},
      {"body PO MB Inbox NOPE.MAI", Expect::kFailure},
      {"activity PO nobody", Expect::kFailure},
      {"headers " + root() + "/missing.eml", Expect::kFailure},
      {"search " + root() + "/nowhere '*x*'", Expect::kFailure},
      {"folder add PO MB '\\' Sent", Expect::kFailure, "exists already"},
      {"folder add PO nobody '\\' X", Expect::kFailure, "no mailbox"},
  };
  // A successful run leaves standard error empty even with the library's
  // diagnostics on: a document a mailbox need not have is no error.
  for (const char* quiet : {"folder add PO MB '\\' Quiet", "folder remove PO MB '\\' Quiet",
                            "check PO MB", "folders PO MB"}) {
    const Outcome run = Run(quiet, "QXSTORE_DIAG=stderr");
    EXPECT_EQ(run.exit_code, 0) << quiet;
    EXPECT_EQ(run.err, "") << quiet;
  }
  // Bytes that are not UTF-8 stay JSON: they stand for their Latin-1 characters.
  WriteFile(Folder("INBOX") + "/LATIN.MAI", "Subject: caf\xe9\r\n\r\ncaf\xc3\xa9\r\n");
  const Outcome latin = Run("cat PO MB Inbox LATIN.MAI --json");
  EXPECT_TRUE(test::IsArrayOfObjects(latin.out)) << latin.out;
  EXPECT_NE(latin.out.find("\"text\": \"Subject: caf\\u00e9\\r\\n\\r\\ncaf\xc3\xa9\\r\\n\""),
            std::string::npos)
      << latin.out;
  std::set<std::string> covered;
  for (const Row& row : rows) {
    Check(row);
    covered.insert(row.arguments.substr(0, row.arguments.find(' ')));
  }
  // A command added later gets rows here too.
  const Outcome help = Run("--help");
  std::istringstream lines(help.out.substr(help.out.find("commands:\n")));
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 79u) << line;
    if (line.size() < 3 || line[2] == ' ') continue;
    const std::string name = line.substr(2, line.find(' ', 2) - 2);
    EXPECT_TRUE(covered.count(name) != 0) << "no row for " << name;
  }
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

std::vector<std::string> FolderFiles(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(StoreadmCommandsTest, AFullDiskFailsTheCommandAndLeavesTheFolderAsItWas) {
  const std::string inbox = Folder("INBOX");
  const std::string big = root() + "/big.eml";
  WriteFile(big, "Subject: big\r\n\r\n" + std::string(20000, 'x') + "\r\n");
  const std::vector<std::string> files_before = FolderFiles(inbox);
  const std::string index_before = ReadFile(inbox + "/_index.xml");
  const std::string everything = "QXSTORE_TEST_DISK_FULL=/MAILROOT/MB/";
  // Only the index's own files: message files can be written, the index not.
  const std::string index_only = "QXSTORE_TEST_DISK_FULL=/INBOX/_";

  const struct {
    std::string arguments;
    std::string environment;
  } cases[] = {
      {"put PO MB Inbox " + big, everything},
      {"put PO MB Inbox " + big + " --json", everything},
      {"deliver PO MB Inbox " + big, everything},
      {"deliver PO MB Inbox " + big, index_only},
      {"flags add PO MB Inbox 1 flagged", index_only},
  };
  for (const auto& c : cases) {
    const Outcome run = Run(c.arguments, c.environment);
    SCOPED_TRACE(c.arguments + " with " + c.environment + "\nstderr: " + run.err);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lines(run.err), 1u);
    // What failed and where: the system's words and the file or folder.
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos);
    EXPECT_NE(run.err.find(inbox), std::string::npos);
    EXPECT_EQ(FolderFiles(inbox), files_before);
    EXPECT_EQ(ReadFile(inbox + "/_index.xml"), index_before);
  }
  EXPECT_EQ(Run("flags show PO MB Inbox 1").out.find("FLAGGED"), std::string::npos);

  const Outcome cat = Run("cat PO MB Inbox 1 >/dev/full");
  EXPECT_EQ(cat.exit_code, 1);
  EXPECT_NE(cat.err.find("cannot write standard output (/dev/full): No space left on device"),
            std::string::npos)
      << cat.err;
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

TEST_F(StoreadmCommandsTest, ResyncKeepsFlagsAndUidsWhereIndexRebuildWouldDropThem) {
  // Setup delivered two messages (UIDs 1 and 2); a third gets UID 3.
  WriteFile(root() + "/three.eml", "Subject: third\r\n\r\nthree\r\n");
  ASSERT_EQ(Run("deliver PO MB Inbox " + root() + "/three.eml").exit_code, 0);
  ASSERT_EQ(Run("flags add PO MB Inbox 2 answered").exit_code, 0);
  ASSERT_EQ(Run("flags replace PO MB Inbox 3 flagged seen").exit_code, 0);
  const std::string second = Run("flags show PO MB Inbox 2").out;
  const std::string third = Run("flags show PO MB Inbox 3").out;
  // The first message goes, a new one comes, both behind the index's back.
  std::filesystem::remove(Folder("INBOX") + "/" + first_file_);
  WriteFile(Folder("INBOX") + "/NEW.MAI", "Subject: new\r\n\r\nnew\r\n");

  const Outcome refused = Run("index PO MB Inbox --rebuild");
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("3 of 3 messages carry flags"), std::string::npos) << refused.err;

  const Outcome resync = Run("resync PO MB Inbox --json");
  ASSERT_EQ(resync.exit_code, 0) << resync.err;
  EXPECT_NE(resync.out.find("\"messages\": 3, \"kept\": 2, \"renumbered\": 1, \"last_uid\": 4"),
            std::string::npos)
      << resync.out;
  EXPECT_EQ(Run("flags show PO MB Inbox 2").out, second);
  EXPECT_EQ(Run("flags show PO MB Inbox 3").out, third);
  EXPECT_EQ(Run("flags show PO MB Inbox 4").out, "NEW.MAI\t4\t\\RECENT\n");
  EXPECT_EQ(Run("flags show PO MB Inbox 1").exit_code, 1);
  // A second pass changes nothing, whatever the folder's order.
  EXPECT_EQ(Run("resync PO -A").exit_code, 0);
  EXPECT_EQ(Run("flags show PO MB Inbox 3").out, third);

  // --force drops them, as asked; with no index at all nothing is dropped,
  // so no --force is needed.
  ASSERT_EQ(Run("index PO MB Inbox --rebuild --force").exit_code, 0);
  EXPECT_EQ(Run("flags show PO MB Inbox 3").out.find("FLAGGED"), std::string::npos);
  std::filesystem::remove(Folder("INBOX") + "/_index.xml");
  const Outcome fresh = Run("index PO MB Inbox --rebuild");
  EXPECT_EQ(fresh.exit_code, 0) << fresh.err;
  EXPECT_NE(fresh.out.find("messages:  3\n"), std::string::npos) << fresh.out;
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

TEST_F(StoreadmCommandsTest, CopyMoveAndRemoveGoThroughBothIndexesWithTheFlags) {
  ASSERT_EQ(Run("flags add PO MB Inbox 2 answered").exit_code, 0);
  const std::string second = Run("flags show PO MB Inbox 2").out;
  const std::string second_file = second.substr(0, second.find('\t'));

  const Outcome copied = Run("cp PO MB Inbox 2 Sent --json");
  ASSERT_EQ(copied.exit_code, 0) << copied.err;
  EXPECT_TRUE(test::IsArrayOfObjects(copied.out)) << copied.out;
  const Outcome moved = Run("mv PO MB Inbox " + first_file_ + " Sent");
  ASSERT_EQ(moved.exit_code, 0) << moved.err;

  const Outcome sent = Run("ls PO MB Sent --json");
  EXPECT_EQ(std::count(sent.out.begin(), sent.out.end(), '{'), 2) << sent.out;
  EXPECT_NE(sent.out.find("ANSWERED"), std::string::npos) << sent.out;
  const Outcome inbox = Run("ls PO MB Inbox");
  EXPECT_EQ(inbox.out.find(first_file_), std::string::npos) << inbox.out;
  EXPECT_NE(inbox.out.find(second_file), std::string::npos) << inbox.out;
  EXPECT_FALSE(Exists(Folder("INBOX") + "/" + first_file_));

  ASSERT_EQ(Run("rm PO MB Inbox 2").exit_code, 0);
  EXPECT_FALSE(Exists(Folder("INBOX") + "/" + second_file));
  EXPECT_EQ(Run("flags show PO MB Inbox 2").exit_code, 1);
  EXPECT_EQ(Run("rm PO MB Inbox 2").exit_code, 1);
}

}  // namespace
}  // namespace qx

namespace qx {
namespace {

TEST_F(StoreadmCommandsTest, QuotaShowsTheTrueSizePastTheLimitAndRecalcWritesTheCache) {
  WriteFile(root() + "/big.eml", "Subject: big\r\n\r\n" + std::string(40000, 'x') + "\r\n");
  ASSERT_EQ(Run("deliver PO MB Sent " + root() + "/big.eml").exit_code, 0);
  WriteFile(Folder("_DIRSIZE.TMP"), "7");
  ASSERT_EQ(Run("quota set PO MB 20").exit_code, 0);
  EXPECT_EQ(ReadFile(Folder("_QUOTA.TXT")), "20");

  const Outcome shown = Run("quota show PO MB");
  EXPECT_NE(shown.out.find("OVER QUOTA; cached 7 KB"), std::string::npos) << shown.out;
  const Outcome recalc = Run("quota recalc PO MB --json");
  ASSERT_EQ(recalc.exit_code, 0) << recalc.err;
  const size_t at = recalc.out.find("\"size_kb\": ");
  ASSERT_NE(at, std::string::npos) << recalc.out;
  const std::string size = recalc.out.substr(at + 11, recalc.out.find(',', at) - at - 11);
  EXPECT_GE(std::stoi(size), 40) << recalc.out;
  EXPECT_EQ(ReadFile(Folder("_DIRSIZE.TMP")), size);
  // Without a cache the store's own walk stops at the quota; size goes on.
  std::filesystem::remove(Folder("_DIRSIZE.TMP"));
  InstallSiblingLibrary("libqxaipo.so");
  const Outcome sized = Run("size PO MB --json");
  EXPECT_NE(sized.out.find("\"size_kb\": " + size + ","), std::string::npos) << sized.out << sized.err;

  ASSERT_EQ(Run("quota set PO MB 0").exit_code, 0);
  EXPECT_FALSE(Exists(Folder("_QUOTA.TXT")));
}

TEST_F(StoreadmCommandsTest, CheckFindsEachPlantedFaultAndRepairSetsThemRight) {
  const std::string inbox = Folder("INBOX");
  const std::string sent = Folder("Sent");
  WriteFile(root() + "/three.eml", "Subject: third\r\n\r\nthree\r\n");
  ASSERT_EQ(Run("deliver PO MB Inbox " + root() + "/three.eml").exit_code, 0);
  ASSERT_EQ(Run("deliver PO MB Sent " + root() + "/two.eml").exit_code, 0);
  ASSERT_EQ(Run("flags add PO MB Inbox 2 flagged").exit_code, 0);
  const std::string flagged = Run("flags show PO MB Inbox 2").out;
  const std::string flagged_file = flagged.substr(0, flagged.find('\t'));
  ASSERT_EQ(Run("check PO MB").out, "0 faults\n");

  std::filesystem::remove(inbox + "/" + first_file_);              // entry-without-file
  WriteFile(inbox + "/EXTRA.MAI", "Subject: extra\r\n\r\nx\r\n");  // file-without-entry
  Replace(inbox + "/_index.xml", " UID=\"3\"", " UID=\"2\"");      // duplicate-uid
  Replace(sent + "/_index.xml", " UID=\"1\"", " UID=\"9\"");       // uid-above-lastuid
  WriteFile(inbox + "/_DIRSIZE.TMP", "99999");                     // size-cache
  WriteFile(sent + "/_index.blk", "");                             // stale-block
  std::filesystem::last_write_time(
      sent + "/_index.blk", std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  // A killed copy's temporary (stale-temporary), and one a copy is writing now.
  const std::string killed_copy = sent + "/K.MAI.0123456789ABCDEF.tmp";
  const std::string live_copy = sent + "/L.MAI.FEDCBA9876543210.tmp";
  WriteFile(killed_copy, "Subject: par");
  WriteFile(live_copy, "Subject: par");
  std::filesystem::last_write_time(
      killed_copy, std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
  // The folder list names a folder that is gone and misses one that is there.
  WriteFile(Folder("_folder.xml"),
            "<folderindex><folder><name><![CDATA[INBOX]]></name></folder><folder><name>"
            "<![CDATA[Sent]]></name></folder><folder><name><![CDATA[Gone]]></name></folder>"
            "</folderindex>");

  const Outcome found = Run("check PO MB --json");
  ASSERT_EQ(found.exit_code, 0) << found.err;
  EXPECT_TRUE(test::IsArrayOfObjects(found.out)) << found.out;
  for (const char* kind : {"entry-without-file", "file-without-entry", "duplicate-uid",
                           "uid-above-lastuid", "size-cache", "stale-block",
                           "stale-temporary", "folder-without-entry", "entry-without-folder"}) {
    EXPECT_NE(found.out.find(std::string("\"fault\": \"") + kind + "\""), std::string::npos)
        << kind << "\n" << found.out;
  }
  EXPECT_EQ(found.out.find("\"repaired\": true"), std::string::npos);
  EXPECT_EQ(found.out.find("L.MAI"), std::string::npos) << found.out;

  const Outcome repaired = Run("check PO -A --repair --json");
  ASSERT_EQ(repaired.exit_code, 0) << repaired.err << repaired.out;
  EXPECT_EQ(repaired.out.find("\"repaired\": false"), std::string::npos) << repaired.out;
  EXPECT_EQ(Run("check PO MB").out, "0 faults\n");
  // Whichever of the two messages with UID 2 got a new one, the flag stayed.
  EXPECT_NE(Run("flags show PO MB Inbox " + flagged_file).out.find("\\FLAGGED"),
            std::string::npos);
  EXPECT_FALSE(Exists(sent + "/_index.blk"));
  EXPECT_FALSE(Exists(killed_copy));
  EXPECT_TRUE(Exists(live_copy));
  const Outcome folders = Run("folders PO MB");
  EXPECT_NE(folders.out.find("Contacts"), std::string::npos) << folders.out;
  EXPECT_EQ(folders.out.find("Gone"), std::string::npos) << folders.out;
}

}  // namespace
}  // namespace qx
