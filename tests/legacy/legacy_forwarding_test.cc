// The older flat interface while a remote administration host is chosen:
// the exact requests of every function, which record comes back, and whole
// transfers carried out by the host program as its own process.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "legacy/blob_transfer.h"
#include "qxstore.h"
#include "remote/fake_remote_host.h"
#include "remote/forwarded_execution.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

using test::RecordBytes;

struct Records {
  FOLDERRECORD folder, other_folder;
  MESSAGELISTRECORD list;
  MESSAGEITEMRECORD item;
  uint32_t position;
  MESSAGESEARCHRECORD search;
  BLOBRECORD blob;
  MESSAGEBLOBRECORD message_blob;
  COMMANDMESSAGE command;
};

// One forwarded function with its records, and which of them (1 or 2, 0
// for none) is taken from the reply.
struct Case {
  const char* function;
  std::function<uint32_t()> call;
  std::vector<std::span<const uint8_t>> records;
  int copied_back;
};

template <class R>
Case One(const char* function, uint32_t (*call)(R*), R* record, int copied_back) {
  return {function, [=] { return call(record); }, {RecordBytes(*record)}, copied_back};
}

template <class R1, class R2>
Case Two(const char* function, uint32_t (*call)(R1*, R2*), R1* first, R2* second, int copied_back) {
  return {function, [=] { return call(first, second); }, {RecordBytes(*first), RecordBytes(*second)},
          copied_back};
}

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

TEST_F(LegacyForwardingTest, EveryFunctionSendsItsRecordsAndGetsBackOnlyItsOwn) {
  test::FakeRemoteHost host;
  ASSERT_TRUE(host.listening());
  AddHost("Lab", host.port());
  SetCurrentHost("Lab");
  // The host overwrites every record it receives and answers 9.
  host.SetExecHandler([](const std::string& request) {
    return ExecuteForwardedRequest(request, [](const ForwardedCall& call, void* p1, void* p2) {
      std::memset(p1, 'H', call.parameter_sizes[0]);
      if (p2 != nullptr) std::memset(p2, 'H', call.parameter_sizes[1]);
      return 9u;
    });
  });
  auto r = std::make_unique<Records>();
  const Case cases[] = {
      One("FolderAdd", FolderAdd, &r->folder, 0),
      One("FolderGet", FolderGet, &r->folder, 1),
      Two("FolderEdit", FolderEdit, &r->folder, &r->other_folder, 0),
      One("FolderFindFirst", FolderFindFirst, &r->folder, 1),
      Two("MessageItemFindFirst", MessageItemFindFirst, &r->list, &r->item, 2),
      One("MessageItemListSetPosition", MessageItemListSetPosition, &r->position, 0),
      One("MessagesFindFirst", MessagesFindFirst, &r->search, 1),
      One("BLOBGetFirstChunk", BLOBGetFirstChunk, &r->blob, 1),
      One("BLOBWriteFirstChunk", BLOBWriteFirstChunk, &r->blob, 0),
      One("MessageItemBLOBGetFirstChunk", MessageItemBLOBGetFirstChunk, &r->message_blob, 1),
      One("CommandMessageFindFirst", CommandMessageFindFirst, &r->command, 1),
      One("CommandMessageSet", CommandMessageSet, &r->command, 1),
  };
  WriteFile(bad_mail_ + "/local.MAI", std::string(10000, 'L'));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.function);
    // Records a local run would act on: a new folder, a real file, a queue.
    std::memset(r.get(), 0, sizeof *r);
    std::strcpy(r->folder.directory, root().c_str());
    std::strcpy(r->folder.name, "New");
    std::strcpy(r->blob.path, (bad_mail_ + "/local.MAI").c_str());
    std::strcpy(r->command.directory, bad_mail_.c_str());
    std::strcpy(r->command.message_id, "local.MAI");
    const std::string expected = test::ExecRequest(c.function, c.records);
    EXPECT_EQ(c.call(), 9u);
    EXPECT_EQ(host.Messages().back().text, expected);
    for (size_t i = 0; i < c.records.size(); ++i) {
      const bool from_host =
          std::all_of(c.records[i].begin(), c.records[i].end(), [](uint8_t b) { return b == 'H'; });
      EXPECT_EQ(from_host, static_cast<int>(i) + 1 == c.copied_back) << "record " << i + 1;
    }
  }
  EXPECT_FALSE(Exists(root() + "/New"));
  EXPECT_EQ(ReadFile(bad_mail_ + "/local.MAI"), std::string(10000, 'L'));
  EXPECT_EQ(BlobReadOffset(BlobFamily::kBadMail), 0) << "no local read moved the offset";
}

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
