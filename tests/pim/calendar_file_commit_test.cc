#include "pim/calendar_file_commit.h"

#include <filesystem>
#include <string>

#include "common/block_files.h"
#include "support/test_store.h"

namespace qx {
namespace {

class CalendarFileCommitTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    MakeDirs(mail_root() + "/PO/MAILROOT/MB/Calendar");
  }

  std::string CalendarFile(const char* extension) const {
    return mail_root() + "/PO/MAILROOT/MB/Calendar/Y2024" + extension;
  }

  const std::string calendar_ = "PO\\MAILROOT\\MB\\Calendar\\Y2024";
};

TEST_F(CalendarFileCommitTest, ApplyResourceFileKeepsTheOldBackupOnlyWithoutABlock) {
  for (bool blocked : {false, true}) {
    SCOPED_TRACE(blocked);
    WriteFile(CalendarFile(".CAL"), "current");
    WriteFile(CalendarFile(".BAK"), "backup");
    WriteFile(CalendarFile(".TMP"), "new");
    WriteFile(CalendarFile(".OLD"), "old");
    if (blocked) {
      ASSERT_EQ(TakeResourceBlock(calendar_.c_str()), 1u);
    }
    EXPECT_EQ(ApplyResourceFile(calendar_.c_str()), 1u);
    EXPECT_EQ(ReadFile(CalendarFile(".CAL")), "new");
    EXPECT_EQ(ReadFile(CalendarFile(".BAK")), "current");
    EXPECT_EQ(ReadFile(CalendarFile(".OLD")), blocked ? "old" : "backup");
    EXPECT_FALSE(Exists(CalendarFile(".BLK")));  // the commit releases the block
  }
  // A first commit: there is no .CAL yet, and the .TMP still becomes it.
  std::filesystem::remove(CalendarFile(".CAL"));
  WriteFile(CalendarFile(".TMP"), "first");
  EXPECT_EQ(ApplyResourceFile(calendar_.c_str()), 1u);
  EXPECT_EQ(ReadFile(CalendarFile(".CAL")), "first");
}

}  // namespace
}  // namespace qx
