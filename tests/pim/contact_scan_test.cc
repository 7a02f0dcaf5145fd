// The contact index kept in step with a folder's vCard files: the merge in
// name order, the block file, files that are not contacts or not cards at
// all, and scans racing each other in threads and processes.

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "contact_folder_fixture.h"
#include "pim/contact_scan.h"
#include "platform/fault_injection.h"
#include "platform/file_time.h"

namespace qx {
namespace {

using Names = std::vector<std::string>;
using Pairs = std::vector<std::string>;

std::string CardText(const std::string& name) {
  return "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:" + name + "\r\nEND:VCARD\r\n";
}

class ContactScanTest : public test::ContactFolderTest {
 protected:
  uint32_t Scan(uint32_t mode = 0) { return ScanContacts(Dir(), false, mode); }
};

TEST_F(ContactScanTest, TheIndexFollowsTheFilesInNameOrder) {
  ASSERT_EQ(Scan(), 1u);
  EXPECT_TRUE(Ids().empty());
  EXPECT_TRUE(Index()) << "an empty folder still gets its root";

  PutCard("b.vcf", CardText("Bee"));
  PutCard("D.VCF", CardText("Dee"));
  PutCard("_draft.vcf", CardText("not a contact"));
  PutCard(".hidden.vcf", CardText("not a contact"));
  PutCard("notes.txt", CardText("not a vCard file"));
  MakeDirs(Card("folder.vcf"));
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Ids(), (Names{"b.vcf", "D.VCF"}));

  // Added files take their places, a deleted file's element goes, and a
  // file rewritten under its name is read again.
  PutCard("a.vcf", CardText("Ay"));
  PutCard("c.vcf", CardText("Cee"));
  ASSERT_EQ(unlink(Card("D.VCF").c_str()), 0);
  PutCard("b.vcf", CardText("Bee again"), 1300000100);
  ASSERT_EQ(Scan(), 1u);
  EXPECT_EQ(Ids(), (Names{"a.vcf", "b.vcf", "c.vcf"}));
  EXPECT_STREQ(Element("b.vcf").attribute("FN").value(), "Bee again");

  // A rescan that finds nothing changed leaves the index file alone.
  SetWriteTime(IndexFile(), 1200000000);
  ASSERT_EQ(Scan(), 1u);
  struct stat info {};
  ASSERT_EQ(stat(IndexFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1200000000);

  // A file whose stamp still matches is not read again; rebuild reads all.
  PutCard("c.vcf", CardText("Sea"), 1300000000);
  ASSERT_EQ(Scan(), 1u);
  EXPECT_STREQ(Element("c.vcf").attribute("FN").value(), "Cee");
  ASSERT_EQ(ScanContacts(Dir(), true, 0), 1u);
  EXPECT_STREQ(Element("c.vcf").attribute("FN").value(), "Sea");
}

TEST_F(ContactScanTest, LinesBecomeAttributesWithinTheirLimits) {
  const std::string long_key = std::string(1024, 'K');
  const std::string long_value = std::string(1500, 'v');
  PutCard("a.vcf",
          "\xEF\xBB\xBF" "BEGIN:VCARD\r\n"
          "VERSION:2.1\r\n"
          "TEL;HOME;VOICE:123\r\n"
          "IM;TYPE=AIM:aim name\r\n"
          "N:Smith;John\r\n"
          "N:Doe;Jane\r\n"
          "NOTE:a\x01" "b\tc\rtrailing\r\n"
          " folded continuation: with colon\r\n"
          "no colon here\r\n"
          "1ST:begins with a digit\r\n"
          "HAS SPACE:blank in the key\r\n"
          "LAT\xFF" "IN:not UTF-8\r\n"
          "ID:other.vcf\r\n" +
              long_key + ":too long a key\r\n" + std::string(1023, 'k') + ":kept\r\n" +
              "LONG:" + long_value + "\r\n"
              "X-EMPTY:\r\n"
              "EMAIL;PREF;INTERNET:after the bad keys\n"
              "END:VCARD\r\n"
              "TITLE:after the end\r\n",
          1300000000);
  ASSERT_EQ(ScanContacts(Dir(), false, 0), 1u);
  uint16_t date = 0, time = 0;
  ASSERT_TRUE(platform::FileTimeToDosDateTime(
      platform::kUnixEpochAsFileTime + 1300000000ULL * 10000000ULL, &date, &time));
  const std::string stamp = std::to_string(static_cast<int32_t>((uint32_t{date} << 16) | time));
  EXPECT_EQ(Attributes("a.vcf"),
            (Pairs{"ID=a.vcf", "VERSION=2.1", "TEL_HOME_VOICE=123", "IM_TYPE-AIM=aim name",
                        "N=Doe;Jane", "NOTE=a b\tc", std::string(1023, 'k') + "=kept",
                        "LONG=" + long_value.substr(0, 1023), "X-EMPTY=",
                        "EMAIL_PREF_INTERNET=after the bad keys", "MODIFIEDDATE=" + stamp}));
}

TEST_F(ContactScanTest, FilesThatAreNoCardsNeverSpoilTheIndex) {
  PutCard("a-good.vcf", CardText("Good"));
  PutCard("b-no-begin.vcf", "FN:Headless\r\nTEL;WORK;VOICE:1\r\n");
  PutCard("c-unterminated.vcf", "BEGIN:VCARD\r\nFN:Endless\r\nEMAIL;PREF;INTERNET:e@x");
  std::string photo = "BEGIN:VCARD\r\nFN:Big\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:";
  for (int i = 0; photo.size() < 5 * 1024 * 1024; ++i) photo += "QUJD:REVG<&>\"" + std::to_string(i);
  PutCard("d-photo.vcf", photo + "\r\nTEL;CELL;VOICE:555\r\nEND:VCARD\r\n");
  std::mt19937 random(7);
  std::string garbage(65536, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  PutCard("e-garbage.vcf", garbage);
  constexpr char kWithNuls[] = "BEGIN:VCARD\r\nFN:Nul\0hidden\r\nTI\0TLE:x\r\nORG:Acme\r\nEND:VCARD\r\n";
  PutCard("f-nul.vcf", std::string(kWithNuls, sizeof kWithNuls - 1));
  PutCard("g-good.vcf", CardText("Also good"));

  ASSERT_EQ(ScanContacts(Dir(), false, 0), 1u);
  EXPECT_EQ(Ids(), (Names{"a-good.vcf", "b-no-begin.vcf", "c-unterminated.vcf", "d-photo.vcf",
                        "e-garbage.vcf", "f-nul.vcf", "g-good.vcf"}));
  EXPECT_STREQ(Element("b-no-begin.vcf").attribute("TEL_WORK_VOICE").value(), "1");
  EXPECT_STREQ(Element("c-unterminated.vcf").attribute("EMAIL_PREF_INTERNET").value(), "e@x");
  EXPECT_EQ(std::string(Element("d-photo.vcf").attribute("PHOTO_ENCODING-BASE64_TYPE-JPEG").value()).size(), 1023u);
  EXPECT_STREQ(Element("d-photo.vcf").attribute("TEL_CELL_VOICE").value(), "555");
  EXPECT_STREQ(Element("f-nul.vcf").attribute("FN").value(), "Nul");
  EXPECT_FALSE(Element("f-nul.vcf").attribute("TI"));
  EXPECT_STREQ(Element("f-nul.vcf").attribute("ORG").value(), "Acme");
  EXPECT_STREQ(Element("g-good.vcf").attribute("FN").value(), "Also good");
}

TEST_F(ContactScanTest, TheBlockFileKeepsScansApartAndModeNinetyNineLeavesIt) {
  PutCard("a.vcf", CardText("Ay"));
  const std::string block = Dir() + "/_index.blk";
  WriteFile(block, "");
  EXPECT_EQ(Scan(), 0u);
  EXPECT_FALSE(Exists(IndexFile()));
  EXPECT_TRUE(Exists(block));

  EXPECT_EQ(Scan(kContactScanBlockHeld), 1u);
  EXPECT_EQ(Ids(), (Names{"a.vcf"}));
  EXPECT_TRUE(Exists(block));
  ASSERT_EQ(unlink(block.c_str()), 0);
  EXPECT_EQ(Scan(kContactScanBlockHeld), 1u);
  EXPECT_FALSE(Exists(block));

  // A scan that cannot write its index fails and still lets the folder go.
  PutCard("b.vcf", CardText("Bee"));
  platform::InjectFault(platform::FaultOp::kMove, "_index.xml", 5, -1);
  EXPECT_EQ(Scan(), 0u);
  platform::ClearFaults();
  EXPECT_FALSE(Exists(block));
  EXPECT_EQ(Ids(), (Names{"a.vcf"}));

  // A card that cannot be opened has no MODIFIEDDATE, so it is tried again.
  platform::InjectFault(platform::FaultOp::kOpen, "b.vcf", 5, -1);
  EXPECT_EQ(Scan(), 1u);
  platform::ClearFaults();
  EXPECT_EQ(Attributes("b.vcf"), (Pairs{"ID=b.vcf"}));
  EXPECT_EQ(Scan(), 1u);
  EXPECT_STREQ(Element("b.vcf").attribute("FN").value(), "Bee");
}

TEST_F(ContactScanTest, ThreadsAndProcessesScanningAtOnceLeaveOneGoodIndex) {
  constexpr int kCards = 60;
  constexpr int kRounds = 15;
  for (int i = 0; i < kCards; ++i) PutCard("c" + std::to_string(100 + i) + ".vcf", CardText("n" + std::to_string(i)));

  // Each process (this one and two children) runs 8 threads that rescan and
  // touch cards; a result other than 0 or 1 fails the process. A scan that
  // finds another's block gives up, so some processes may never get a turn.
  const auto run = [&]() -> bool {
    std::atomic<bool> good{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&, t] {
        for (int round = 0; round < kRounds; ++round) {
          const std::string card = Card("c" + std::to_string(100 + (t * 7 + round) % kCards) + ".vcf");
          SetWriteTime(card, 1300000000 + 2 * (round % 5));
          const uint32_t result = ScanContacts(Dir(), round % 4 == 3, 0);
          if (result > 1) good = false;
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    return good.load();
  };
  pid_t children[2];
  for (pid_t& child : children) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(run() ? 0 : 1);
  }
  const bool here = run();
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_TRUE(here);
  EXPECT_FALSE(Exists(Dir() + "/_index.blk"));
  EXPECT_EQ(Ids().size(), static_cast<size_t>(kCards));
  ASSERT_EQ(ScanContacts(Dir(), false, 0), 1u);
  EXPECT_EQ(Ids().size(), static_cast<size_t>(kCards));
}

}  // namespace
}  // namespace qx
