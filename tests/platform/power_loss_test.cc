#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "support/test_store.h"

namespace qx {
namespace {

using platform::DurabilityStep;

constexpr const char* kMissing = "(missing)";

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

}  // namespace
}  // namespace qx
