#include "folder/index_file_availability.h"

#include <string>

#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "qxstore.h"
#include "support/folder_test_fixture.h"

namespace qx {
namespace {

class IndexFileAvailabilityTest : public test::FolderTest {
 protected:
  void TearDown() override {
    platform::ClearFaults();
    FolderTest::TearDown();
  }
  std::string Native(const std::string& name) const { return MailboxDir() + "/INBOX/" + name; }
};

TEST_F(IndexFileAvailabilityTest, IndexFileChecksTakeAndReleaseTheBlock) {
  MakeDirs(MailboxDir() + "/INBOX");
  const std::string folder = mail_root() + "\\PO\\MAILROOT\\MB\\INBOX";
  const std::string index_block = folder + "\\_index.blk";
  EXPECT_EQ(CheckIndexFileAvailability(folder.c_str(), 0), 0u);
  WriteFile(Native("_index.xml"), "<BASEELEMENT/>");
  EXPECT_EQ(ProbeIndexFile(folder.c_str(), 1), 1u);
  EXPECT_FALSE(Exists(Native("_index.blk")));

  // Someone else's block: the checks that need it fail, and leave it alone.
  ASSERT_EQ(WaitForAccessToIndexFileEx(index_block.c_str(), 0, nullptr), 1u);
  EXPECT_EQ(CheckIndexFileAvailability(folder.c_str(), 0), 5u);
  EXPECT_EQ(CheckIndexFileAvailability(folder.c_str(), kCheckWithoutBlock), 1u);
  EXPECT_TRUE(Exists(Native("_index.blk")));
  ASSERT_EQ(UnBlockIndexFileAccessEx(index_block.c_str(), 0, nullptr), 1u);

  // A block that cannot be removed again is reported, and the answer stands.
  platform::InjectFault(platform::FaultOp::kDelete, "_index.blk", platform::kErrorAccessDenied, 81);
  EXPECT_EQ(CheckIndexFileAvailability(folder.c_str(), 0), 1u);
  EXPECT_EQ(clock().sleeps(), 81);
}

}  // namespace
}  // namespace qx
