// storeadm contacts run as a real process: an address book imported one
// card per file, the folder listed and exported, and what it refuses.

#include <string>

#include "support/program_run.h"
#include "support/test_store.h"

namespace qx {
namespace {

class StoreadmContactsTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(Folder());
  }
  std::string Folder() const { return mail_root() + "/PO/MAILROOT/MB/Contacts"; }
  test::ProgramRun Storeadm(const std::string& arguments) {
    return test::RunCommandLine(std::string(QX_BINARY_DIR) + "/storeadm " + arguments + " 2>&1");
  }
};

TEST_F(StoreadmContactsTest, ImportListAndExportAContactFolder) {
  const std::string one = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;John\r\nFN:John Smith\r\n"
                          "EMAIL;PREF;INTERNET:john@example.org\r\nTEL;WORK;VOICE:123\r\nEND:VCARD\r\n";
  const std::string two = "BEGIN:VCARD\nVERSION:3.0\nFN:Ann \"A\" Lee\nEMAIL;TYPE=INTERNET:ann@example.org\nTEL;TYPE=CELL:456\nEND:VCARD\n";
  const std::string three = "BEGIN:VCARD\r\nFN:Bo\r\nEND:VCARD";
  WriteFile(root() + "/book.vcf", one + "\r\n" + two + three);
  WriteFile(root() + "/solo.txt", "BEGIN:VCARD\r\nFN:Solo\r\nEND:VCARD\r\n");

  test::ProgramRun run = Storeadm("contacts import PO MB Contacts " + root() + "/book.vcf " + root() + "/solo.txt");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, "book-001.vcf\nbook-002.vcf\nbook-003.vcf\nsolo.txt.vcf\n");
  EXPECT_EQ(ReadFile(Folder() + "/book-001.vcf"), one);
  EXPECT_EQ(ReadFile(Folder() + "/book-002.vcf"), two);
  EXPECT_EQ(ReadFile(Folder() + "/book-003.vcf"), three);

  run = Storeadm("contacts PO MB");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output,
            "book-001.vcf\tJohn Smith\tjohn@example.org\t123\n"
            "book-002.vcf\tAnn \"A\" Lee\tann@example.org\t456\n"
            "book-003.vcf\tBo\t-\t-\n"
            "solo.txt.vcf\tSolo\t-\t-\n");
  run = Storeadm("contacts PO MB Contacts --json");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NE(run.output.find("{\"file\": \"book-002.vcf\", \"name\": \"Ann \\\"A\\\" Lee\", \"email\": "
                            "\"ann@example.org\", \"telephone\": \"456\"}"),
            std::string::npos) << run.output;
  EXPECT_NE(run.output.find("\"email\": null"), std::string::npos);

  run = Storeadm("contacts export PO MB Contacts");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, one + two + three + "\r\n" + "BEGIN:VCARD\r\nFN:Solo\r\nEND:VCARD\r\n");

  // Nothing is written when any card would clash, or a file is no address
  // book; wrong arguments are usage errors.
  WriteFile(root() + "/new.vcf", "BEGIN:VCARD\r\nFN:New\r\nEND:VCARD\r\n");
  WriteFile(root() + "/open.vcf", "BEGIN:VCARD\r\nFN:Open\r\n");
  WriteFile(root() + "/_hidden.vcf", "BEGIN:VCARD\r\nFN:H\r\nEND:VCARD\r\n");
  for (const std::string& refused :
       {"contacts import PO MB Contacts " + root() + "/new.vcf " + root() + "/book.vcf",
        "contacts import PO MB Contacts " + root() + "/new.vcf " + root() + "/open.vcf",
        "contacts import PO MB Contacts " + root() + "/new.vcf " + root() + "/new.vcf",
        "contacts import PO MB Contacts " + root() + "/_hidden.vcf",
        "contacts import PO MB Contacts " + root() + "/registry.reg",
        "contacts import PO MB ../../../.. " + root() + "/new.vcf",
        std::string("contacts PO MB Missing")}) {
    run = Storeadm(refused);
    EXPECT_EQ(run.exit_code, 1) << refused << "\n" << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
  }
  EXPECT_FALSE(Exists(Folder() + "/new.vcf"));
  EXPECT_EQ(Storeadm("contacts PO").exit_code, 2);
  EXPECT_EQ(Storeadm("contacts import PO MB Contacts").exit_code, 2);
  EXPECT_EQ(Storeadm("contacts export PO MB").exit_code, 2);
  run = Storeadm("contacts --help");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.output.find("team.vcf -> team-001.vcf"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace qx
