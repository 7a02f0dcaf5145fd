// Power cut at every step of every rewrite the store makes: the file must be
// whole, old or new, afterwards, and new once the rewrite said it was done.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "folder/notify_clients.h"
#include "index/index_document.h"
#include "message/message_rewrite.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "store/folder_index_file.h"
#include "support/test_store.h"

namespace qx {
namespace {

using platform::DurabilityStep;

constexpr const char* kMissing = "(missing)";

// One rewrite as the store makes it: `prepare` puts the old file in place,
// `run` rewrites it and says whether it reported the new file in place.
struct Rewrite {
  std::string name;
  std::string target;
  std::string old_contents;
  std::string new_contents;
  std::function<void()> prepare;
  std::function<bool()> run;
};

class PowerLossTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    unsetenv("QXSTORE_FSYNC");  // every sync the store makes by default
    MakeDirs(Dir());
  }
  void TearDown() override {
    platform::StopPowerLossTracking();
    StoreTest::TearDown();
  }

  std::string Dir() const { return root() + "/box"; }
  std::string Path(const std::string& name) const { return Dir() + "/" + name; }
  std::string Contents(const std::string& path) const {
    return Exists(path) ? ReadFile(path) : kMissing;
  }

  // Cuts the power after the 1st, 2nd, ... step of the rewrite until one runs
  // to its end, then once more after it has ended.
  void CutEverywhere(const Rewrite& rewrite) const {
    std::set<DurabilityStep> cut_after;
    for (int steps = 1; steps < 200; ++steps) {
      rewrite.prepare();
      platform::StartPowerLossTracking();
      platform::CutPowerAfter(steps);
      const bool reported = rewrite.run();
      const DurabilityStep cut = platform::PowerCutAfter();
      if (cut == DurabilityStep::kNone) platform::SimulatePowerLoss();
      platform::StopPowerLossTracking();

      const std::string after = Contents(rewrite.target);
      const bool whole = after == rewrite.old_contents || after == rewrite.new_contents;
      EXPECT_TRUE(whole) << rewrite.name << ", cut after step " << steps << ": \"" << after << "\"";
      if (reported || cut == DurabilityStep::kNone) {
        EXPECT_EQ(after, rewrite.new_contents) << rewrite.name << ", cut after step " << steps;
      }
      cut_after.insert(cut);
      if (cut == DurabilityStep::kNone) break;
    }
    // The cuts must have fallen at each point of a replace, or this proves nothing.
    for (DurabilityStep step :
         {DurabilityStep::kCreate, DurabilityStep::kWrite, DurabilityStep::kDataSync,
          DurabilityStep::kRename, DurabilityStep::kDirectorySync, DurabilityStep::kNone}) {
      EXPECT_TRUE(cut_after.contains(step)) << rewrite.name << " never cut after step kind "
                                            << static_cast<int>(step);
    }
  }
};

TEST_F(PowerLossTest, APowerLossTakesBackWhatWasNotSyncedAndNothingElse) {
  WriteFile(Path("appended"), "synced");
  WriteFile(Path("deleted"), "kept");
  WriteFile(Path("replaced"), "old");
  WriteFile(Path("renamed"), "moved");
  platform::StartPowerLossTracking();

  platform::File appended = platform::File::Open(Path("appended"), platform::Access::kWrite,
                                                 platform::Disposition::kOpenExisting);
  ASSERT_TRUE(appended.Seek(6) && appended.Write(" more") && appended.SyncData());
  ASSERT_TRUE(appended.Write(" lost"));
  platform::File created = platform::File::Open(Path("created"), platform::Access::kWrite,
                                                platform::Disposition::kCreateNew);
  ASSERT_TRUE(created.Write("data") && created.SyncData());
  ASSERT_TRUE(platform::DeleteFile(Path("deleted")));
  ASSERT_TRUE(platform::MoveFileEx(Path("renamed"), Path("replaced"), true));
  platform::SimulatePowerLoss();

  EXPECT_EQ(Contents(Path("appended")), "synced more");
  EXPECT_EQ(Contents(Path("created")), kMissing) << "its name was never synced";
  EXPECT_EQ(Contents(Path("deleted")), "kept");
  EXPECT_EQ(Contents(Path("replaced")), "old");
  EXPECT_EQ(Contents(Path("renamed")), "moved");

  // Once the directory is synced its entries stay; the data still needs its own sync.
  platform::File synced = platform::File::Open(Path("created"), platform::Access::kWrite,
                                               platform::Disposition::kCreateNew);
  ASSERT_TRUE(synced.Write("data") && synced.SyncData() && synced.Write(" unsynced"));
  ASSERT_TRUE(platform::MoveFileEx(Path("renamed"), Path("replaced"), true));
  ASSERT_TRUE(platform::Directory::Open(Dir()).Sync());
  platform::SimulatePowerLoss();
  EXPECT_EQ(Contents(Path("created")), "data");
  EXPECT_EQ(Contents(Path("replaced")), "moved");
  EXPECT_EQ(Contents(Path("renamed")), kMissing);

  // After the cut nothing reaches the disk until the power is back.
  platform::CutPowerAfter(1);
  ASSERT_TRUE(platform::DeleteFile(Path("created")));
  EXPECT_EQ(platform::PowerCutAfter(), DurabilityStep::kDelete);
  EXPECT_EQ(Contents(Path("created")), "data");
  EXPECT_FALSE(platform::DurablyReplaceFile(Path("replaced"), "", "x", platform::FileKind::kOther));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorNotReady);
  platform::RestorePower();
  EXPECT_TRUE(platform::DeleteFile(Path("created")));
}

class SubjectRewrite : public HeaderRewrite {
 public:
  void RewriteLine(std::string_view line, std::string* out) override {
    out->append(line.starts_with("Subject:") ? "Subject: new\r\n" : std::string(line));
  }
};

XmlDocument Document(const char* xml) {
  XmlDocument document = XmlDocument::New();
  EXPECT_TRUE(document.LoadXml(xml));
  return document;
}

// Reaches every server but those whose name begins with "GONE".
int32_t Notifier(const char* server, const char*, const char*) {
  return std::strncmp(server, "GONE", 4) == 0 ? 1 : 0;
}

std::string ActivityLine(const std::string& server) {
  return server + "\tIMAP\tX\t10.1.1.1\t5000\t1700000000\t\t7\tsession";
}

TEST_F(PowerLossTest, EveryRewriteLeavesTheOldOrTheNewFileWhereverThePowerIsCut) {
  const std::string index = Path("_index.xml");
  const XmlDocument old_index = Document("<index><entry id=\"A.MAI\"/></index>");
  const XmlDocument new_index =
      Document("<index><entry id=\"A.MAI\"/><entry id=\"B.MAI\"/></index>");
  ASSERT_EQ(SaveDocumentFile(new_index, index), 1u);
  const std::string new_index_bytes = ReadFile(index);
  ASSERT_EQ(SaveDocumentFile(old_index, index), 1u);
  const std::string old_index_bytes = ReadFile(index);

  MakeDirs(Path("Inbox"));
  MakeDirs(Path("Sent"));

  const std::string activity_old = ActivityLine("GONE1") + "\n" + ActivityLine("HOST2");
  const std::string old_message = "Subject: old\r\n\r\nbody\r\n";
  const std::string new_message = "Subject: new\r\n\r\nbody\r\n";
  const Rewrite rewrites[] = {
      {"index", index, old_index_bytes, new_index_bytes,
       [&] { WriteFile(index, old_index_bytes); },
       [&] { return SaveDocumentFile(new_index, index) == 1; }},
      {"message", Path("M1.MAI"), old_message, new_message,
       [&] { WriteFile(Path("M1.MAI"), old_message); },
       [&] {
         SubjectRewrite rewrite;
         return RewriteMessageHeaders(Dir(), "M1.MAI", rewrite);
       }},
      {"folder list", Path("_folder.xml"), FolderIndexText({"Inbox"}),
       FolderIndexText({"Inbox", "Sent"}),
       [&] { WriteFile(Path("_folder.xml"), FolderIndexText({"Inbox"})); },
       [&] { return RebuildFolderIndex(Dir(), false).has_value(); }},
      {"activity file", Path("_activity.tab"), activity_old, ActivityLine("HOST2"),
       [&] { WriteFile(Path("_activity.tab"), activity_old); },
       [&] {
         NotifyClientsWith(&Notifier, Dir(), "Inbox", "COMMIT");
         return false;  // it reports no outcome
       }},
      {"replace with a unique temporary", Path("options.ini"), "[old]\n", "[new]\n",
       [&] { WriteFile(Path("options.ini"), "[old]\n"); },
       [&] {
         return platform::DurablyReplaceFile(Path("options.ini"), "", "[new]\n",
                                             platform::FileKind::kOther);
       }},
  };
  for (const Rewrite& rewrite : rewrites) CutEverywhere(rewrite);
}

}  // namespace
}  // namespace qx
