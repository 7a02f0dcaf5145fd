#include "folder_test_fixture.h"
#include "qxstore.h"

namespace qx {
namespace {

using DeliveredCountTest = test::FolderTest;

TEST_F(DeliveredCountTest, IsTheHighestFlagAndConsumesThem) {
  WriteFile(MailboxDir() + "/_3.NEW", "");
  WriteFile(MailboxDir() + "/_12.NEW", "");
  WriteFile(MailboxDir() + "/_7.NEW", "");
  WriteFile(MailboxDir() + "/_9.DTY", "");  // not a delivery flag
  STOREFOLDER record = Record("\\Inbox", "");
  EXPECT_EQ(StoreGetDeliveredMessageCount(&record), 12u);
  EXPECT_FALSE(Exists(MailboxDir() + "/_12.NEW"));
  EXPECT_FALSE(Exists(MailboxDir() + "/_3.NEW"));
  EXPECT_TRUE(Exists(MailboxDir() + "/_9.DTY"));
  EXPECT_EQ(StoreGetDeliveredMessageCount(&record), 0u);
}

}  // namespace
}  // namespace qx
