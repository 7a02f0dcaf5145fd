#include "platform/durable_replace.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "support/test_store.h"

namespace qx {
namespace {

using platform::FileKind;

class DurableReplaceTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    unsetenv("QXSTORE_FSYNC");
    MakeDirs(Path(""));
  }
  void TearDown() override {
    unsetenv("QXSTORE_FSYNC");
    platform::StopPowerLossTracking();
    platform::ClearFaults();
    StoreTest::TearDown();
  }

  std::string Path(const std::string& name) const { return root() + "/files/" + name; }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Path(""))) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  void SetFsync(const char* registry_text) {
    registry().SetString(test::kLibraryRootKey, "Store Fsync", registry_text);
    registry().Save();
  }

  // Whether a replace of a `kind` file outlives a power loss right after it.
  bool NewContentsSurvivePowerLoss(FileKind kind) {
    WriteFile(Path("target"), "old");
    platform::StartPowerLossTracking();
    EXPECT_TRUE(platform::DurablyReplaceFile(Path("target"), Path("target.tmp"), "new", kind));
    EXPECT_EQ(ReadFile(Path("target")), "new");
    platform::SimulatePowerLoss();
    platform::StopPowerLossTracking();
    const std::string after = ReadFile(Path("target"));
    EXPECT_TRUE(after == "old" || after == "new") << after;
    return after == "new";
  }
};

TEST_F(DurableReplaceTest, TheSettingDecidesWhichReplacementsOutliveAPowerLoss) {
  for (FileKind kind : {FileKind::kMessage, FileKind::kIndex, FileKind::kOther}) {
    EXPECT_TRUE(NewContentsSurvivePowerLoss(kind)) << "no setting: always";
  }
  SetFsync("Optimized");
  EXPECT_TRUE(NewContentsSurvivePowerLoss(FileKind::kMessage));
  EXPECT_TRUE(NewContentsSurvivePowerLoss(FileKind::kIndex));
  EXPECT_FALSE(NewContentsSurvivePowerLoss(FileKind::kOther));
  SetFsync("never");
  EXPECT_FALSE(NewContentsSurvivePowerLoss(FileKind::kIndex));

  // The environment wins over the registry; text that names no mode is
  // ignored, and the safe mode is what remains.
  SetFsync("always");
  setenv("QXSTORE_FSYNC", "never", 1);
  EXPECT_FALSE(NewContentsSurvivePowerLoss(FileKind::kMessage));
  setenv("QXSTORE_FSYNC", "sometimes", 1);
  EXPECT_TRUE(NewContentsSurvivePowerLoss(FileKind::kMessage));
  unsetenv("QXSTORE_FSYNC");
  SetFsync("fast");
  EXPECT_EQ(platform::StoreFsyncMode(), platform::FsyncMode::kAlways);
}

TEST_F(DurableReplaceTest, AFailedReplaceLeavesTheTargetAndNoTemporary) {
  WriteFile(Path("target"), "old");
  const std::set<std::string> before = Names();
  // A sync that fails must stop the rename: the copy may not be on disk.
  platform::InjectFault(platform::FaultOp::kSync, "target.tmp", platform::kErrorIoDevice);
  EXPECT_FALSE(
      platform::DurablyReplaceFile(Path("target"), Path("target.tmp"), "new", FileKind::kIndex));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorIoDevice);
  platform::InjectFault(platform::FaultOp::kMove, "target", platform::kErrorSharingViolation);
  EXPECT_FALSE(platform::DurablyReplaceFile(Path("target"), "", "new", FileKind::kOther));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorSharingViolation);
  {
    platform::FileReplacement abandoned(Path("target"), Path("_target"), FileKind::kMessage);
    ASSERT_TRUE(abandoned.valid());
    EXPECT_TRUE(abandoned.Write("half"));
  }
  // The temporary must sit beside the target, or the rename is no swap.
  MakeDirs(Path("sub"));
  platform::FileReplacement elsewhere(Path("target"), Path("sub/target.tmp"), FileKind::kOther);
  EXPECT_FALSE(elsewhere.valid());
  EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidParameter);
  EXPECT_FALSE(Exists(Path("sub/target.tmp")));
  std::filesystem::remove(Path("sub"));
  EXPECT_EQ(ReadFile(Path("target")), "old");
  EXPECT_EQ(Names(), before);

  // A unique temporary leaves nothing behind when it succeeds either.
  EXPECT_TRUE(platform::DurablyReplaceFile(Path("target"), "", "new", FileKind::kOther));
  EXPECT_EQ(ReadFile(Path("target")), "new");
  EXPECT_EQ(Names(), before);
}

// A delivery's copy goes in under a new GUID name as spelled, inside a
// folder asked for in another spelling, durably, and never over a file.
TEST_F(DurableReplaceTest, ANewUniqueNameIsPlacedDurablyAndReplacesNothing) {
  MakeDirs(Path("INBOX"));
  WriteFile(Path("message.eml"), "Subject: one\r\n\r\nbody\r\n");
  WriteFile(Path("INBOX/ABC.MAI"), "kept");
  WriteFile(Path("INBOX/_index.xml.tmp"), "left by a crash, longer than what replaces it");
  platform::StartPowerLossTracking();
  ASSERT_TRUE(platform::DurablyCopyFile(Path("message.eml"), Path("Inbox/DEF.MAI"), FileKind::kMessage,
                                        platform::TargetName::kNewUnique));
  EXPECT_TRUE(platform::DurablyReplaceFile(Path("Inbox/_index.xml"), Path("Inbox/_index.xml.tmp"),
                                           "<BASEELEMENT/>", FileKind::kIndex));
  platform::SimulatePowerLoss();
  platform::StopPowerLossTracking();
  EXPECT_EQ(ReadFile(Path("INBOX/DEF.MAI")), ReadFile(Path("message.eml")));
  EXPECT_EQ(ReadFile(Path("INBOX/_index.xml")), "<BASEELEMENT/>");

  EXPECT_FALSE(platform::DurablyCopyFile(Path("message.eml"), Path("Inbox/ABC.MAI"),
                                         FileKind::kMessage, platform::TargetName::kNewUnique));
  EXPECT_EQ(platform::GetLastError(), platform::kErrorFileExists);
  EXPECT_EQ(ReadFile(Path("INBOX/ABC.MAI")), "kept");
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(Path("INBOX"))) {
    left.insert(entry.path().filename().string());
  }
  EXPECT_EQ(left, (std::set<std::string>{"ABC.MAI", "DEF.MAI", "_index.xml"}));
}

TEST_F(DurableReplaceTest, TheReplacementKeepsTheTargetsPermissions) {
  WriteFile(Path("private"), "old");
  ASSERT_EQ(::chmod(Path("private").c_str(), 0640), 0);
  ASSERT_TRUE(platform::DurablyReplaceFile(Path("private"), "", "new", FileKind::kOther));
  struct stat info {};
  ASSERT_EQ(::stat(Path("private").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(Path("private")), "new");
}

}  // namespace
}  // namespace qx
