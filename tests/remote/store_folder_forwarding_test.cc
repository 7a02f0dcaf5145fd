// The folder hierarchy functions from a program that is not one of the
// server's own, with a remote administration host chosen: each sends its
// 2576-byte records, does no local work, and copies back what the host
// filled; the host runs them through the forwarded-call table.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "qxstore.h"
#include "remote/base64.h"
#include "remote/connection_socket.h"
#include "remote/fake_remote_host.h"
#include "remote/forwarded_execution.h"
#include "remote/lzw.h"
#include "remote/remote_state.h"
#include "support/test_store.h"

namespace qx {
namespace {

constexpr size_t kRecordBytes = 2576;

STOREFOLDER Record(const char* parent, const char* name) {
  STOREFOLDER record{};
  std::strcpy(record.postoffice, "PO");
  std::strcpy(record.mailbox, "MB");
  std::strcpy(record.parent, parent);
  std::strcpy(record.name, name);
  record.size = 0x01020304;
  for (size_t i = 0; i < sizeof record.reserved; ++i)
    record.reserved[i] = static_cast<uint8_t>(0xA0 + i);
  return record;
}

std::string Encoded(const STOREFOLDER& record) {
  return Base64Encode(LzwCompress(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&record), kRecordBytes)));
}

std::string Exec(const std::string& function, const std::vector<const STOREFOLDER*>& records) {
  std::string text = "<DATA><METHOD>EXEC</METHOD><FUNCTION>" + function + "</FUNCTION><PARAMETERS>";
  for (size_t i = 0; i < records.size(); ++i) {
    std::string index = std::to_string(i + 1);
    text +=
        "<PARAMETER" + index + " SIZE=2576>" + Encoded(*records[i]) + "</PARAMETER" + index + ">";
  }
  return text + "</PARAMETERS></DATA>";
}

class StoreFolderForwardingTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    CloseRemoteSocket();
    Remote() = RemoteState{};
    host_ = std::make_unique<test::FakeRemoteHost>();
    ASSERT_TRUE(host_->listening());
    const std::string key =
        "HKEY_CURRENT_USER\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Administration\\Hosts\\Lab";
    registry().SetString(key, "Address", "127.0.0.1");
    registry().SetDword(key, "Port", host_->port());
    registry().SetString(key, "Credentials", "s3cret");
    registry().SetString(key, "Authentication Protocol", "QXSTORE");
    registry().Save();
    SetCurrentHost("Lab");
    MakeDirs(MailboxDir());
  }

  void TearDown() override {
    StoreTest::TearDown();
    host_.reset();
  }

  std::string MailboxDir() const { return mail_root() + "/PO/MAILROOT/MB"; }

  // The EXEC requests the host received, in order.
  std::vector<std::string> Requests() const {
    std::vector<std::string> requests;
    for (const auto& message : host_->Messages()) {
      if (message.method == "EXEC") requests.push_back(message.text);
    }
    return requests;
  }

  std::unique_ptr<test::FakeRemoteHost> host_;
};

TEST_F(StoreFolderForwardingTest, RecordsTravelWholeAndNothingRunsLocally) {
  std::vector<std::vector<uint8_t>> received;
  host_->SetExecHandler([&](const std::string& request) {
    return ExecuteForwardedRequest(request, [&](const ForwardedCall& call, void* p1, void* p2) {
      received.emplace_back(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + kRecordBytes);
      if (p2 != nullptr) {
        received.emplace_back(static_cast<uint8_t*>(p2), static_cast<uint8_t*>(p2) + kRecordBytes);
      }
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
  EXPECT_EQ(StoreFolderCopy(&from, &to), 5u);
  STOREFOLDER parent = Record("\\", "");
  const STOREFOLDER sent_parent = parent;
  EXPECT_EQ(StoreFolderFindFirst(&parent), 5u);
  EXPECT_STREQ(parent.name, "Remote Child");
  EXPECT_EQ(parent.size, 0x01020304u);
  EXPECT_EQ(TLS_StoreFolderFindNext(&parent, nullptr), 5u);
  EXPECT_EQ(StoreFolderFindClose(&parent), 5u);
  STOREFOLDER remove = Record("Inbox", "A");
  EXPECT_EQ(StoreFolderRemove(&remove), 5u);
  EXPECT_FALSE(Exists(MailboxDir() + "/_folder.xml"));

  STOREFOLDER found = sent_parent;
  std::strcpy(found.name, "Remote Child");
  std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 7u);
  EXPECT_EQ(requests[0], Exec("StoreFolderAdd", {&sent_add}));
  EXPECT_EQ(requests[1], Exec("StoreFolderEdit", {&from, &to}));
  EXPECT_EQ(requests[2], Exec("StoreFolderCopy", {&from, &to}));
  EXPECT_EQ(requests[3], Exec("StoreFolderFindFirst", {&sent_parent}));
  EXPECT_EQ(requests[4], Exec("StoreFolderFindNext", {&found}));
  EXPECT_EQ(requests[5], Exec("StoreFolderFindClose", {&found}));
  EXPECT_EQ(requests[6], Exec("StoreFolderRemove", {&remove}));
  EXPECT_EQ(host_->Messages()[1].text,
            "<DATA><METHOD>LOAD</METHOD><LIBRARY>QXAISP.DLL</LIBRARY></DATA>");

  ASSERT_EQ(received.size(), 9u);
  EXPECT_EQ(0, std::memcmp(received[0].data(), &sent_add, kRecordBytes));
  EXPECT_EQ(0, std::memcmp(received[1].data(), &from, kRecordBytes));
  EXPECT_EQ(0, std::memcmp(received[2].data(), &to, kRecordBytes));
}

TEST_F(StoreFolderForwardingTest, TheHostRunsTheFolderFunctionsThroughTheTable) {
  // The host is in this process and shares the mail root, so the table's
  // local functions act on the same store.
  host_->SetExecHandler([&](const std::string& request) {
    return ExecuteForwardedRequest(request, [](const ForwardedCall& call, void* p1, void* p2) {
      return call.local != nullptr ? call.local(p1, p2) : 0u;
    });
  });
  STOREFOLDER inbox = Record("/", "INBOX");
  EXPECT_EQ(StoreFolderAdd(&inbox), 1u);
  EXPECT_STREQ(inbox.name, "INBOX");  // nothing is copied back from an add
  STOREFOLDER projects = Record("Inbox", "Projects");
  EXPECT_EQ(StoreFolderAdd(&projects), 1u);
  EXPECT_TRUE(Exists(MailboxDir() + "/Inbox/Projects"));

  STOREFOLDER top = Record("\\", "");
  EXPECT_EQ(StoreFolderFindFirst(&top), 1u);
  EXPECT_STREQ(top.name, "Inbox");
  EXPECT_EQ(StoreFolderFindNext(&top), 0u);
  EXPECT_EQ(StoreFolderFindClose(&top), 1u);

  STOREFOLDER renamed = Record("Inbox", "Archive");
  EXPECT_EQ(StoreFolderEdit(&projects, &renamed), 1u);
  STOREFOLDER copy = Record("Inbox", "Copy");
  EXPECT_EQ(StoreFolderCopy(&renamed, &copy), 1u);
  EXPECT_EQ(StoreFolderRemove(&renamed), 1u);
  EXPECT_FALSE(Exists(MailboxDir() + "/Inbox/Archive"));
  EXPECT_TRUE(Exists(MailboxDir() + "/Inbox/Copy"));
}

}  // namespace
}  // namespace qx
