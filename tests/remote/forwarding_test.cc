// Forwarded calls against a fake remote administration host: the decision,
// the connection's life, the exact messages and what replies do to records.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/socket.h"
#include "qxstore.h"
#include "remote/connection_socket.h"
#include "remote/fake_remote_host.h"
#include "remote/flat_records.h"
#include "remote/forwarded_execution.h"
#include "remote/forwarding.h"
#include "remote/forwarding_decision.h"
#include "remote/forwarding_failure.h"
#include "remote/host_settings.h"
#include "remote/remote_connection.h"
#include "remote/remote_state.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

using test::ExecRequest;
using test::RecordBytes;

struct FolderRecord {
  uint8_t bytes[1540];
};
struct AppointmentRecord {
  uint8_t bytes[648];
};

template <class Record>
Record Filled(uint8_t seed) {
  Record record;
  for (size_t i = 0; i < sizeof record.bytes; ++i) record.bytes[i] = static_cast<uint8_t>(seed + i % 17);
  return record;
}

template <class Record>
bool Same(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The forwarding prologue that every function of the folder and calendar
// families shares: nullopt means the caller runs the call locally.
std::optional<uint32_t> FolderGet(FolderRecord* folder) {
  return ForwardCall<"FolderGet">(folder);
}
std::optional<uint32_t> FolderEdit(FolderRecord* from, FolderRecord* to) {
  return ForwardCall<"FolderEdit">(from, to);
}
std::optional<uint32_t> AppointmentAdd(AppointmentRecord* appointment) {
  return ForwardCall<"AppointmentAdd">(appointment);
}
constexpr std::nullopt_t kLocal = std::nullopt;

STOREFOLDER StoreRecord(const char* parent, const char* name) {
  STOREFOLDER record = test::StoreFolderRecord(parent, name);
  record.size = 0x01020304;
  return record;
}

const std::string kAuth =
    "<DATA><METHOD>AUTH</METHOD><PROTOCOL>QXSTORE</PROTOCOL><CREDENTIALS>s3cret</CREDENTIALS>"
    "<REALM></REALM><Library>QXAIAU.DLL</Library></DATA>";
const std::string kFailure = "<DATA><STATUS>FAILURE</STATUS></DATA>";

class ForwardingTest : public test::RemoteHostTest {
 protected:
  void SetUp() override {
    RemoteHostTest::SetUp();
    ASSERT_TRUE(host_.listening());
    AddHost("Lab", host_.port());
  }

  test::FakeRemoteHost host_;
};

TEST_F(ForwardingTest, ConnectsOnceReusesWithPingAndReconnectsForAnotherModule) {
  const FolderRecord sent = Filled<FolderRecord>(1);
  const FolderRecord other = Filled<FolderRecord>(2);
  const FolderRecord answer = Filled<FolderRecord>(100);
  FolderRecord folder = sent;
  host_.SetExecHandler([&](const std::string& request) {
    return ExecuteForwardedRequest(request, [&](const ForwardedCall& call, void* p1, void* p2) {
      EXPECT_STREQ(call.function_text, "FolderGet");
      EXPECT_EQ(p2, nullptr);
      EXPECT_TRUE(Same(*static_cast<FolderRecord*>(p1), sent)) << "the host decodes the same bytes";
      std::memcpy(p1, &answer, sizeof answer);
      return 7u;
    });
  });
  SetCurrentHost("Lab");
  EXPECT_EQ(FolderGet(&folder), 7u);
  EXPECT_TRUE(Same(folder, answer));
  EXPECT_EQ(Remote().connected_host, "Lab");

  // FolderEdit copies nothing back even when the host sends a record.
  folder = sent;
  FolderRecord to = other;
  host_.SetExecHandler([&](const std::string&) {
    return BuildForwardedReply(3, 1, RecordBytes(answer));
  });
  EXPECT_EQ(FolderEdit(&folder, &to), 3u);
  EXPECT_TRUE(Same(folder, sent));

  // Another module key: a new connection, and the record comes back.
  const AppointmentRecord booked = Filled<AppointmentRecord>(33);
  AppointmentRecord appointment = Filled<AppointmentRecord>(9);
  host_.SetExecHandler([&](const std::string&) {
    return BuildForwardedReply(1, 1, RecordBytes(booked));
  });
  EXPECT_EQ(AppointmentAdd(&appointment), 1u);
  EXPECT_TRUE(Same(appointment, booked));

  // Unloading the library closes the connection.
  ReloadLibrary();
  EXPECT_EQ(RemoteSocket(), 0);
  EXPECT_TRUE(host_.WaitForPeerCloses(2));
  EXPECT_EQ(host_.Transcript(), "1:AUTH 1:LOAD 1:EXEC 1:PING 1:EXEC 1:PING 2:AUTH 2:LOAD 2:EXEC");
  const auto messages = host_.Messages();
  EXPECT_EQ(messages[0].text, kAuth);
  EXPECT_EQ(messages[1].text, "<DATA><METHOD>LOAD</METHOD><LIBRARY>QXAISP.DLL</LIBRARY></DATA>");
  EXPECT_EQ(messages[2].text, ExecRequest("FolderGet", {RecordBytes(sent)}));
  EXPECT_EQ(messages[4].text, ExecRequest("FolderEdit", {RecordBytes(sent), RecordBytes(other)}));
  EXPECT_EQ(messages[7].text, "<DATA><METHOD>LOAD</METHOD><LIBRARY>QXAICP.DLL</LIBRARY></DATA>");
}

TEST_F(ForwardingTest, UnreachableHostFailsEveryCallWithoutLocalWork) {
  const FolderRecord sent = Filled<FolderRecord>(1);
  FolderRecord folder = sent;
  FolderRecord other = sent;
  AppointmentRecord appointment = Filled<AppointmentRecord>(1);
  registry().SetDword(HostKey("Nowhere"), "Port", host_.port());
  registry().SetString(HostKey("NoPort"), "Address", "127.0.0.1");
  registry().Save();
  EXPECT_EQ(ReadHostPort("NoPort"), 8081) << "the port of an entry without one";
  SetCurrentHost("Nowhere");  // an entry without "Address"
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForwardWithoutConnection);
  EXPECT_EQ(FolderGet(&folder), 0u);
  EXPECT_EQ(FolderEdit(&folder, &other), 0u);
  EXPECT_EQ(AppointmentAdd(&appointment), 0u);
  EXPECT_EQ(Remote().connected_host, "");
  EXPECT_EQ(platform::GetLastError(), platform::kErrorHostNotFound);
  EXPECT_TRUE(Same(folder, sent));
  EXPECT_EQ(host_.Transcript(), "");
}

TEST_F(ForwardingTest, LocalOrRemoteByHostChoiceForceDefaultHostAndProgram) {
  FolderRecord folder{};
  EXPECT_EQ(FolderGet(&folder), kLocal);
  registry().SetDword(test::kAdministrationKey, "ForceDefaultHost", 0);
  registry().Save();
  EXPECT_EQ(FolderGet(&folder), kLocal);
  SetCurrentHost("Lab");
  EXPECT_EQ(FolderGet(&folder), 1u);
  SetCurrentHost("");  // back to local, and the connection is dropped
  EXPECT_EQ(FolderGet(&folder), kLocal);
  EXPECT_EQ(RemoteSocket(), 0);
  EXPECT_TRUE(host_.WaitForPeerCloses(1));

  registry().SetDword(test::kAdministrationKey, "ForceDefaultHost", 1);
  AddHost("Default", host_.port());
  EXPECT_EQ(FolderGet(&folder), 1u);
  EXPECT_EQ(Remote().connected_host, "Default");

  // The server's own programs never forward, whatever the settings say.
  SetCurrentHost("Lab");
  for (const char* program : {"/opt/talmera/QXPOPS.EXE", "C:\\Tal Mera\\qxpops.exe"}) {
    setenv("QXSTORE_PROGRAM", program, 1);
    EXPECT_EQ(FolderGet(&folder), kLocal) << program;
  }
  setenv("QXSTORE_PROGRAM", "/x/QXPOPS.EXE.OLD", 1);
  EXPECT_EQ(ForceDefaultHostEnabled(), 1u);
  EXPECT_EQ(host_.Transcript(), "1:AUTH 1:LOAD 1:EXEC 2:AUTH 2:LOAD 2:EXEC");
}

TEST_F(ForwardingTest, RefusedHandshakesAndDroppedConnections) {
  const FolderRecord sent = Filled<FolderRecord>(4);
  FolderRecord folder = sent;
  host_.SetAuthReply(kFailure);
  host_.SetExecHandler([](const std::string&) { return kFailure; });
  SetCurrentHost("Lab");
  // A refused AUTH still sends the call; without a loaded module the next
  // call connects afresh.
  EXPECT_EQ(FolderGet(&folder), 0u);
  EXPECT_EQ(Remote().loaded_library, "");
  host_.SetAuthReply(kRemoteSuccessReply);
  host_.SetLoadReply(kFailure);
  EXPECT_EQ(FolderGet(&folder), 0u);
  EXPECT_TRUE(Same(folder, sent));
  EXPECT_EQ(host_.Transcript(), "1:AUTH 1:EXEC 1:PING 2:AUTH 2:LOAD 2:EXEC");

  // A connection the host dropped is replaced without QUIT.
  host_.SetLoadReply(kRemoteSuccessReply);
  host_.SetExecHandler([](const std::string&) { return BuildForwardedReply(1, 0, {}); });
  EXPECT_EQ(FolderGet(&folder), 1u);
  host_.DropConnectionAfterNextExec();
  EXPECT_EQ(FolderGet(&folder), 1u);
  EXPECT_EQ(FolderGet(&folder), 1u);
  EXPECT_EQ(host_.Transcript(),
            "1:AUTH 1:EXEC 1:PING 2:AUTH 2:LOAD 2:EXEC 2:PING 3:AUTH 3:LOAD 3:EXEC 3:PING 3:EXEC "
            "4:AUTH 4:LOAD 4:EXEC");

  // A host that refuses AUTH never inherits the module loaded on the last
  // connection, so its next call is not sent on the strength of a PING.
  AddHost("Other", host_.port());
  SetCurrentHost("Other");
  host_.SetAuthReply(kFailure);
  EXPECT_EQ(FolderGet(&folder), 1u);
  EXPECT_EQ(Remote().loaded_library, "");
}

TEST_F(ForwardingTest, FailedForwardsLeaveTheirLastErrorAndAReason) {
  FolderRecord folder = Filled<FolderRecord>(6);
  auto expect_failure = [&](uint32_t error, const std::string& reason) {
    platform::SetLastError(0);
    EXPECT_EQ(FolderGet(&folder), 0u);
    EXPECT_EQ(platform::GetLastError(), error);
    ASSERT_TRUE(LastForwardingFailure().has_value());
    EXPECT_EQ(LastForwardingFailure()->error, error);
    EXPECT_EQ(LastForwardingFailure()->reason, reason);
  };
  const std::string lab = "remote host \"Lab\" at 127.0.0.1:" + std::to_string(host_.port());
  // As the real host does, calls on a connection without AUTH and LOAD get no result.
  host_.SetExecHandler([](const std::string&) { return kFailure; });
  SetCurrentHost("Lab");
  host_.SetAuthReply(kFailure);
  expect_failure(1326, lab + ": credentials refused (1326)");
  host_.SetAuthReply("<DATA><STATUS>BUSY</STATUS><REASON>16 clients connected</REASON></DATA>");
  expect_failure(170, lab + ": busy: 16 clients connected (170)");
  host_.SetAuthReply(kRemoteSuccessReply);
  host_.SetLoadReply(kFailure);
  expect_failure(126, lab + ": the host did not load QXAISP.DLL (126)");

  // A call that got its answer clears the failure and leaves the last error alone.
  host_.SetLoadReply(kRemoteSuccessReply);
  host_.SetExecHandler([](const std::string&) { return BuildForwardedReply(1, 0, {}); });
  platform::SetLastError(0);
  EXPECT_EQ(FolderGet(&folder), 1u);
  EXPECT_FALSE(LastForwardingFailure().has_value());
  EXPECT_EQ(platform::GetLastError(), 0u);

  uint16_t closed_port = 0;
  platform::CloseSocket(platform::ListenTcp("127.0.0.1", 0, &closed_port));
  AddHost("Closed", closed_port);
  SetCurrentHost("Closed");
  folder = Filled<FolderRecord>(6);
  const std::string closed = "remote host \"Closed\" at 127.0.0.1:" + std::to_string(closed_port);
  expect_failure(10061, closed + ": connection refused (10061)");
  AddHost("Unknown", host_.port(), "s3cret", "no-such-host.invalid");
  SetCurrentHost("Unknown");
  expect_failure(11001, "remote host \"Unknown\" at no-such-host.invalid:" +
                            std::to_string(host_.port()) + ": host name not found (11001)");
  EXPECT_TRUE(Same(folder, Filled<FolderRecord>(6))) << "no local work, nothing copied back";
}

TEST_F(ForwardingTest, RepliesThatBreakTheRulesNeverOverrunRecords) {
  SetCurrentHost("Lab");
  const FolderRecord answer = Filled<FolderRecord>(77);
  const FolderRecord original = Filled<FolderRecord>(5);
  const std::string answer_element =
      "<PARAMETER1 SIZE=1540>" + test::EncodedRecord(RecordBytes(answer)) + "</PARAMETER1>";
  auto result = [](uint32_t value) {
    return "<PARAMETER0 SIZE=4>" + test::EncodedRecord(RecordBytes(value)) + "</PARAMETER0>";
  };
  std::vector<uint8_t> longer(3000);
  for (size_t i = 0; i < longer.size(); ++i) longer[i] = static_cast<uint8_t>(i % 13);
  const struct {
    const char* what;
    std::string reply;
    uint32_t result;
    const uint8_t* expected;  // the record afterwards
  } cases[] = {
      {"no result element: 0, the record still copied", "<DATA>" + answer_element + "</DATA>", 0,
       answer.bytes},
      {"bad record body: the record kept, the result counts",
       "<DATA>" + result(9) + "<PARAMETER1 SIZE=1540>YQB!AGMA</PARAMETER1></DATA>", 9,
       original.bytes},
      {"longer record: cut at the caller's size", BuildForwardedReply(2, 1, longer), 2,
       longer.data()},
      {"reply past the buffer: only its first 32767 bytes are read",
       "<DATA>" + result(5) + std::string(40000, 'x') + answer_element + "</DATA>", 5,
       original.bytes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto folder = std::make_unique<FolderRecord>(original);
    host_.SetExecHandler([&](const std::string&) { return c.reply; });
    EXPECT_EQ(FolderGet(folder.get()), c.result);
    EXPECT_EQ(0, std::memcmp(folder->bytes, c.expected, sizeof folder->bytes));
  }
}

// The folder hierarchy family: its 2576-byte records travel whole, nothing
// runs locally, and what the host filled is copied back.
TEST_F(ForwardingTest, StoreFolderRecordsTravelWholeAndNothingRunsLocally) {
  const std::string mailbox = mail_root() + "/PO/MAILROOT/MB";
  MakeDirs(mailbox);
  SetCurrentHost("Lab");
  static_assert(sizeof(STOREFOLDER) == 2576);
  host_.SetExecHandler([&](const std::string& request) {
    return ExecuteForwardedRequest(request, [](const ForwardedCall& call, void* p1, void*) {
      if (call.copied_back == 1) std::strcpy(static_cast<STOREFOLDER*>(p1)->name, "Remote Child");
      return 5u;
    });
  });

  STOREFOLDER add = StoreRecord("\\", "inbox");
  const STOREFOLDER sent_add = add;
  EXPECT_EQ(StoreFolderAdd(&add), 5u);
  EXPECT_STREQ(add.name, "inbox");  // canonicalising is the host's business
  EXPECT_FALSE(Exists(mailbox + "/Inbox"));
  STOREFOLDER from = StoreRecord("Inbox", "A");
  STOREFOLDER to = StoreRecord("Inbox", "B");
  EXPECT_EQ(StoreFolderEdit(&from, &to), 5u);
  STOREFOLDER parent = StoreRecord("\\", "");
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
