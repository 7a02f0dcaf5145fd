// The folder hierarchy functions from a program that is not one of the
// server's own, with a remote administration host chosen: each sends its
// 2576-byte records, does no local work, and copies back what the host
// filled.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "qxstore.h"
#include "remote/fake_remote_host.h"
#include "remote/forwarded_execution.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

using test::ExecRequest;
using test::RecordBytes;

STOREFOLDER Record(const char* parent, const char* name) {
  STOREFOLDER record{};
  std::strcpy(record.postoffice, "PO");
  std::strcpy(record.mailbox, "MB");
  std::strcpy(record.parent, parent);
  std::strcpy(record.name, name);
  record.size = 0x01020304;
  for (size_t i = 0; i < sizeof record.reserved; ++i) record.reserved[i] = static_cast<uint8_t>(0xA0 + i);
  return record;
}

class StoreFolderForwardingTest : public test::RemoteHostTest {
 protected:
  void SetUp() override {
    RemoteHostTest::SetUp();
    ASSERT_TRUE(host_.listening());
    AddHost("Lab", host_.port());
    SetCurrentHost("Lab");
    MakeDirs(MailboxDir());
  }

  std::string MailboxDir() const { return mail_root() + "/PO/MAILROOT/MB"; }

  test::FakeRemoteHost host_;
};

TEST_F(StoreFolderForwardingTest, RecordsTravelWholeAndNothingRunsLocally) {
  static_assert(sizeof(STOREFOLDER) == 2576);
  host_.SetExecHandler([&](const std::string& request) {
    return ExecuteForwardedRequest(request, [](const ForwardedCall& call, void* p1, void*) {
      if (call.copied_back == 1) std::strcpy(static_cast<STOREFOLDER*>(p1)->name, "Remote Child");
      return 5u;
    });
  });

  STOREFOLDER add = Record("\\", "inbox");
  const STOREFOLDER sent_add = add;
  EXPECT_EQ(StoreFolderAdd(&add), 5u);
  EXPECT_STREQ(add.name, "inbox");  // canonicalising is the host's business
  EXPECT_FALSE(Exists(MailboxDir() + "/Inbox"));
  STOREFOLDER from = Record("Inbox", "A");
  STOREFOLDER to = Record("Inbox", "B");
  EXPECT_EQ(StoreFolderEdit(&from, &to), 5u);
  STOREFOLDER parent = Record("\\", "");
  const STOREFOLDER sent_parent = parent;
  EXPECT_EQ(StoreFolderFindFirst(&parent), 5u);
  EXPECT_STREQ(parent.name, "Remote Child");
  EXPECT_EQ(parent.size, 0x01020304u);
  EXPECT_EQ(TLS_StoreFolderFindNext(&parent, nullptr), 5u);

  STOREFOLDER found = sent_parent;
  std::strcpy(found.name, "Remote Child");
  std::vector<std::string> requests;
  for (const auto& message : host_.Messages()) {
    if (message.method == "EXEC") requests.push_back(message.text);
  }
  EXPECT_EQ(requests, (std::vector<std::string>{
                          ExecRequest("StoreFolderAdd", {RecordBytes(sent_add)}),
                          ExecRequest("StoreFolderEdit", {RecordBytes(from), RecordBytes(to)}),
                          ExecRequest("StoreFolderFindFirst", {RecordBytes(sent_parent)}),
                          ExecRequest("StoreFolderFindNext", {RecordBytes(found)})}));
}

}  // namespace
}  // namespace qx
