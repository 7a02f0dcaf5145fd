// The older flat interface while a remote administration host is chosen:
// whole transfers and enumerations carried out by the host program as its
// own process.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "legacy/blob_transfer.h"
#include "qxstore.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

class LegacyForwardingTest : public test::RemoteHostTest {
 protected:
  void SetUp() override {
    RemoteHostTest::SetUp();
    bad_mail_ = root() + "/badmail";
    MakeDirs(bad_mail_);
    registry().SetString(test::kLibraryRootKey, "Bad Mail Directory", bad_mail_);
    ReloadLibrary();
  }

  std::string bad_mail_;
};

TEST_F(LegacyForwardingTest, HostProgramCarriesOutWholeTransfersAndEnumerations) {
  const uint16_t port = StartHostProgram();
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  AddHost("Radms", port, "open sesame");
  SetCurrentHost("Radms");

  std::string content(20000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  WriteFile(bad_mail_ + "/big.MAI", content);
  auto blob = std::make_unique<BLOBRECORD>();
  std::memset(blob.get(), 0, sizeof *blob);
  std::strcpy(blob->path, (bad_mail_ + "/big.MAI").c_str());
  std::string read, lengths;
  for (uint32_t more = BLOBGetFirstChunk(blob.get()); more != 0; more = BLOBGetNextChunk(blob.get())) {
    read.append(reinterpret_cast<char*>(blob->data), blob->length);
    lengths += std::to_string(blob->length) + " ";
  }
  EXPECT_EQ(lengths, "8192 8192 3616 ");
  EXPECT_EQ(read, content);
  EXPECT_EQ(blob->length, 0u);
  EXPECT_EQ(BlobReadOffset(BlobFamily::kBadMail), 0) << "the offsets moved are the host's";
  // The host's guard refuses as the local one does.
  std::strcpy(blob->path, (bad_mail_ + "/../big.MAI").c_str());
  EXPECT_EQ(BLOBGetFirstChunk(blob.get()), 0u);

  auto message = std::make_unique<COMMANDMESSAGE>();
  std::memset(message.get(), 0, sizeof *message);
  std::strcpy(message->directory, bad_mail_.c_str());
  std::strcpy(message->message_id, "R.MAI");
  std::strcpy(message->sender, "carol@example.com");
  EXPECT_EQ(CommandMessageSet(message.get()), 1u);
  std::memset(message->sender, 0, sizeof message->sender);
  ASSERT_EQ(CommandMessageGet(message.get()), 1u);
  EXPECT_STREQ(message->sender, "carol@example.com");

  const std::string inbox = mail_root() + "/PO/MAILROOT/box/INBOX";
  WriteFile(inbox + "/A.MAI", "Subject: a\r\n\r\nbody\r\n");
  WriteFile(inbox + "/B.MAI", "Subject: b\r\nX-Read: 1\r\n\r\nbody\r\n");
  auto list = std::make_unique<MESSAGELISTRECORD>();
  std::memset(list.get(), 0, sizeof *list);
  std::strcpy(list->folder, "\\Inbox");
  std::strcpy(list->postoffice, "PO");
  std::strcpy(list->mailbox, "box");
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list.get(), &item), 1u);
  EXPECT_STREQ(item.id, "A.MAI");
  EXPECT_EQ(MessageItemListGetUnReadLength(list.get()), 1u);
}

}  // namespace
}  // namespace qx
