// Forwarded calls against a fake remote administration host: the decision,
// the connection's life, the exact messages and what replies do to records.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "qxstore.h"
#include "remote/base64.h"
#include "remote/connection_socket.h"
#include "remote/fake_remote_host.h"
#include "remote/forwarded_execution.h"
#include "remote/forwarding.h"
#include "remote/forwarding_decision.h"
#include "remote/host_settings.h"
#include "remote/remote_connection.h"
#include "remote/lzw.h"
#include "remote/remote_state.h"
#include "support/test_store.h"

namespace qx {
namespace {

constexpr size_t kFolderBytes = 1540;
constexpr size_t kAppointmentBytes = 648;
struct FolderRecord {
  uint8_t bytes[kFolderBytes];
};
struct AppointmentRecord {
  uint8_t bytes[kAppointmentBytes];
};

// Stand-ins for the functions of the folder and calendar families: the
// forwarding prologue they all share, then a local part that only counts.
int g_local_runs = 0;

uint32_t StandInFolderGet(FolderRecord* folder) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderGet, folder)) return *forwarded;
  ++g_local_runs;
  return 1;
}

uint32_t StandInFolderEdit(FolderRecord* from, FolderRecord* to) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kFolderEdit, from, to)) return *forwarded;
  ++g_local_runs;
  return 1;
}

uint32_t StandInAppointmentAdd(AppointmentRecord* appointment) {
  if (auto forwarded = ForwardCall(ForwardedFunction::kAppointmentAdd, appointment)) {
    return *forwarded;
  }
  ++g_local_runs;
  return 1;
}

template <class Record>
void Fill(Record& record, uint8_t seed) {
  for (size_t i = 0; i < sizeof record.bytes; ++i) record.bytes[i] = static_cast<uint8_t>(seed + i % 17);
}

template <class Record>
std::string Encoded(const Record& record) {
  return Base64Encode(LzwCompress(std::span<const uint8_t>(record.bytes, sizeof record.bytes)));
}

std::string EncodedValue(uint32_t value) {
  return Base64Encode(LzwCompress(std::span<const uint8_t>(reinterpret_cast<uint8_t*>(&value), 4)));
}

const std::string kAdministration =
    "HKEY_CURRENT_USER\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Administration";
const std::string kAuth =
    "<DATA><METHOD>AUTH</METHOD><PROTOCOL>QXSTORE</PROTOCOL><CREDENTIALS>s3cret</CREDENTIALS>"
    "<REALM></REALM><Library>QXAIAU.DLL</Library></DATA>";
const std::string kFailure = "<DATA><STATUS>FAILURE</STATUS></DATA>";

class ForwardingTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    // The forwarding state is process-wide; start each test without a host.
    CloseRemoteSocket();
    Remote() = RemoteState{};
    g_local_runs = 0;
    host_ = std::make_unique<test::FakeRemoteHost>();
    ASSERT_TRUE(host_->listening());
    AddHost("Lab", host_->port());
    registry().Save();
  }

  void TearDown() override {
    StoreTest::TearDown();
    host_.reset();
  }

  static std::string HostKey(const std::string& name) {
    return kAdministration + "\\Hosts\\" + name;
  }

  void AddHost(const std::string& name, uint16_t port) {
    registry().SetString(HostKey(name), "Address", "127.0.0.1");
    registry().SetDword(HostKey(name), "Port", port);
    registry().SetString(HostKey(name), "Credentials", "s3cret");
    registry().SetString(HostKey(name), "Authentication Protocol", "QXSTORE");
  }

  test::FakeRemoteHost& host() { return *host_; }

 private:
  std::unique_ptr<test::FakeRemoteHost> host_;
};

TEST_F(ForwardingTest, FirstCallAuthenticatesLoadsAndCopiesBack) {
  auto folder = std::make_unique<FolderRecord>();
  Fill(*folder, 1);
  const std::string sent = Encoded(*folder);
  FolderRecord answer;
  Fill(answer, 100);
  std::vector<uint8_t> received;
  host().SetExecHandler([&](const std::string& request) {
    return ExecuteForwardedRequest(request, [&](const ForwardedCall& call, void* p1, void* p2) {
      EXPECT_STREQ(call.function_text, "FolderGet");
      EXPECT_EQ(p2, nullptr);
      received.assign(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + kFolderBytes);
      std::memcpy(p1, answer.bytes, kFolderBytes);
      return 7u;
    });
  });

  EXPECT_EQ(SetCurrentHost("Lab"), 1u);
  EXPECT_EQ(StandInFolderGet(folder.get()), 7u);
  EXPECT_EQ(g_local_runs, 0);
  EXPECT_EQ(0, std::memcmp(folder->bytes, answer.bytes, kFolderBytes));

  auto messages = host().Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].text, kAuth);
  EXPECT_EQ(messages[1].text, "<DATA><METHOD>LOAD</METHOD><LIBRARY>QXAISP.DLL</LIBRARY></DATA>");
  EXPECT_EQ(messages[2].text,
            "<DATA><METHOD>EXEC</METHOD><FUNCTION>FolderGet</FUNCTION><PARAMETERS>"
            "<PARAMETER1 SIZE=1540>" + sent + "</PARAMETER1></PARAMETERS></DATA>");
  FolderRecord original;
  Fill(original, 1);
  EXPECT_EQ(received, std::vector<uint8_t>(original.bytes, original.bytes + kFolderBytes));

  EXPECT_EQ(Remote().connected_host, "Lab");
  EXPECT_EQ(Remote().loaded_library, "QXAISP.DLL");
  timeval limit{};
  socklen_t length = sizeof limit;
  ASSERT_EQ(getsockopt(RemoteSocket(), SOL_SOCKET, SO_RCVTIMEO, &limit, &length), 0);
  EXPECT_EQ(limit.tv_sec, 60);
}

TEST_F(ForwardingTest, SameModuleReusesTheConnectionOtherModuleReconnects) {
  SetCurrentHost("Lab");
  FolderRecord folder, other;
  Fill(folder, 1);
  Fill(other, 2);
  EXPECT_EQ(StandInFolderGet(&folder), 1u);

  // FolderEdit copies nothing back even when the host sends a record.
  FolderRecord decoy;
  Fill(decoy, 50);
  host().SetExecHandler([&](const std::string&) {
    return BuildForwardedReply(3, 1, std::span<const uint8_t>(decoy.bytes, kFolderBytes));
  });
  EXPECT_EQ(StandInFolderEdit(&folder, &other), 3u);
  FolderRecord expected;
  Fill(expected, 1);
  EXPECT_EQ(0, std::memcmp(folder.bytes, expected.bytes, kFolderBytes));

  AppointmentRecord appointment, booked;
  Fill(appointment, 9);
  Fill(booked, 33);
  host().SetExecHandler([&](const std::string&) {
    return BuildForwardedReply(1, 1, std::span<const uint8_t>(booked.bytes, kAppointmentBytes));
  });
  EXPECT_EQ(StandInAppointmentAdd(&appointment), 1u);
  EXPECT_EQ(0, std::memcmp(appointment.bytes, booked.bytes, kAppointmentBytes));
  host().SetExecHandler([&](const std::string&) { return BuildForwardedReply(4, 0, {}); });
  EXPECT_EQ(StandInFolderGet(&folder), 4u);
  EXPECT_EQ(g_local_runs, 0);

  EXPECT_EQ(host().Transcript(),
            "1:AUTH 1:LOAD 1:EXEC 1:PING 1:EXEC 1:PING 2:AUTH 2:LOAD 2:EXEC 2:PING 3:AUTH 3:LOAD "
            "3:EXEC");
  auto messages = host().Messages();
  EXPECT_EQ(messages[4].text,
            "<DATA><METHOD>EXEC</METHOD><FUNCTION>FolderEdit</FUNCTION><PARAMETERS>"
            "<PARAMETER1 SIZE=1540>" + Encoded(expected) + "</PARAMETER1><PARAMETER2 SIZE=1540>" +
                Encoded(other) + "</PARAMETER2></PARAMETERS></DATA>");
  EXPECT_EQ(messages[3].text, "<DATA><METHOD>PING</METHOD></DATA>");
  EXPECT_EQ(messages[6].text, kAuth);
  EXPECT_EQ(messages[7].text, "<DATA><METHOD>LOAD</METHOD><LIBRARY>QXAICP.DLL</LIBRARY></DATA>");
  Fill(appointment, 9);
  EXPECT_EQ(messages[8].text,
            "<DATA><METHOD>EXEC</METHOD><FUNCTION>AppointmentAdd</FUNCTION><PARAMETERS>"
            "<PARAMETER1 SIZE=648>" + Encoded(appointment) + "</PARAMETER1></PARAMETERS></DATA>");
  EXPECT_TRUE(host().WaitForPeerCloses(2));
  EXPECT_EQ(host().connections_closed_by_peer(), 2);
}

TEST_F(ForwardingTest, HostEntryWithoutPortUses8081) {
  registry().SetString(HostKey("NoPort"), "Address", "127.0.0.1");
  registry().Save();
  EXPECT_EQ(ReadHostPort("NoPort"), 8081);
  EXPECT_EQ(ReadHostPort("Lab"), host().port());
  test::FakeRemoteHost standard_port(8081);
  if (!standard_port.listening()) GTEST_SKIP() << "port 8081 is taken on this machine";
  SetCurrentHost("NoPort");
  FolderRecord folder{};
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  EXPECT_EQ(standard_port.connections_accepted(), 1);
  EXPECT_EQ(standard_port.Messages().back().method, "EXEC");
  EXPECT_EQ(host().connections_accepted(), 0);
}

TEST_F(ForwardingTest, HostEntryWithoutAddressFailsEveryCall) {
  registry().SetDword(HostKey("Nowhere"), "Port", host().port());
  registry().Save();
  SetCurrentHost("Nowhere");
  FolderRecord folder, other;
  Fill(folder, 1);
  Fill(other, 1);
  AppointmentRecord appointment;
  Fill(appointment, 1);
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForwardWithoutConnection);
  EXPECT_EQ(StandInFolderGet(&folder), 0u);
  EXPECT_EQ(StandInFolderEdit(&folder, &other), 0u);
  EXPECT_EQ(StandInAppointmentAdd(&appointment), 0u);
  EXPECT_EQ(g_local_runs, 0);
  EXPECT_EQ(Remote().connected_host, "");
  EXPECT_EQ(RemoteSocket(), 0);
  EXPECT_EQ(host().connections_accepted(), 0);
  FolderRecord expected;
  Fill(expected, 1);
  EXPECT_EQ(0, std::memcmp(folder.bytes, expected.bytes, kFolderBytes));

  // An address that does not resolve fails the same way.
  registry().SetString(HostKey("Nowhere"), "Address", "no-such-host.invalid");
  registry().Save();
  EXPECT_EQ(StandInFolderGet(&folder), 0u);
  EXPECT_EQ(g_local_runs, 0);
  EXPECT_EQ(RemoteSocket(), 0);
}

TEST_F(ForwardingTest, ServerProgramsNeverForward) {
  registry().SetDword(kAdministration, "ForceDefaultHost", 1);
  AddHost("Default", host().port());
  registry().Save();
  SetCurrentHost("Lab");
  for (const char* program : {"/opt/talmera/QXPOPS.EXE", "C:\\Tal Mera\\qxpops.exe", "/x/QX.Exe"}) {
    setenv("QXSTORE_PROGRAM", program, 1);
    EXPECT_TRUE(IsOwnProgram()) << program;
    EXPECT_EQ(ForceDefaultHostEnabled(), 0u);
    FolderRecord folder{};
    EXPECT_EQ(StandInFolderGet(&folder), 1u);
  }
  EXPECT_EQ(g_local_runs, 3);
  EXPECT_EQ(host().connections_accepted(), 0);

  for (const char* program : {"/opt/talmera/STOREADM.EXE", "/x/QXPOPS.EXE.OLD", "/x/MYQX.EXE",
                              "/x/QXPOPS", "/QXPOPS.EXE/storeadm"}) {
    setenv("QXSTORE_PROGRAM", program, 1);
    EXPECT_FALSE(IsOwnProgram()) << program;
  }
  EXPECT_EQ(ForceDefaultHostEnabled(), 1u);
}

TEST_F(ForwardingTest, NoHostChosenRunsLocallyAndDropsTheConnection) {
  FolderRecord folder{};
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  registry().SetDword(kAdministration, "ForceDefaultHost", 0);
  registry().Save();
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  EXPECT_EQ(g_local_runs, 2);
  EXPECT_EQ(host().connections_accepted(), 0);

  SetCurrentHost("Lab");
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  EXPECT_EQ(g_local_runs, 2);
  SetCurrentHost("");
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  EXPECT_EQ(g_local_runs, 3);
  EXPECT_EQ(RemoteSocket(), 0);
  EXPECT_TRUE(host().WaitForPeerCloses(1));
  EXPECT_EQ(host().Transcript(), "1:AUTH 1:LOAD 1:EXEC");
}

TEST_F(ForwardingTest, ForceDefaultHostUsesTheDefaultEntry) {
  registry().SetDword(kAdministration, "ForceDefaultHost", 1);
  AddHost("Default", host().port());
  registry().Remove(HostKey("Lab"), "Address");
  registry().Save();
  FolderRecord folder{};
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  EXPECT_EQ(g_local_runs, 0);
  EXPECT_EQ(Remote().current_host, "Default");
  EXPECT_EQ(Remote().connected_host, "Default");
  EXPECT_EQ(host().Transcript(), "1:AUTH 1:LOAD 1:EXEC");
}

TEST_F(ForwardingTest, RejectedAuthenticationStillForwards) {
  host().SetAuthReply(kFailure);
  host().SetExecHandler([](const std::string&) { return kFailure; });
  SetCurrentHost("Lab");
  FolderRecord folder;
  Fill(folder, 4);
  EXPECT_EQ(StandInFolderGet(&folder), 0u);
  EXPECT_EQ(g_local_runs, 0);
  EXPECT_EQ(Remote().loaded_library, "");
  EXPECT_EQ(host().Transcript(), "1:AUTH 1:EXEC");
  EXPECT_EQ(host().connections_closed_by_peer(), 0);

  // No module was loaded, so the next call connects afresh.
  host().SetAuthReply(kRemoteSuccessReply);
  host().SetLoadReply(kFailure);
  EXPECT_EQ(StandInFolderGet(&folder), 0u);
  EXPECT_EQ(host().Transcript(), "1:AUTH 1:EXEC 1:PING 2:AUTH 2:LOAD 2:EXEC");
  FolderRecord expected;
  Fill(expected, 4);
  EXPECT_EQ(0, std::memcmp(folder.bytes, expected.bytes, kFolderBytes));
}

TEST_F(ForwardingTest, DeadConnectionIsReplacedWithoutQuit) {
  SetCurrentHost("Lab");
  host().DropConnectionAfterNextExec();
  FolderRecord folder{};
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  EXPECT_EQ(host().Transcript(), "1:AUTH 1:LOAD 1:EXEC 2:AUTH 2:LOAD 2:EXEC");
  EXPECT_EQ(g_local_runs, 0);
}

TEST_F(ForwardingTest, LoopbackHostNameForwardsOverNothing) {
  SetCurrentHost("127.0.0.1");
  FolderRecord folder{};
  EXPECT_EQ(StandInFolderGet(&folder), 0u);
  EXPECT_EQ(g_local_runs, 0);
  // The decision records the name as connected though nothing was opened.
  EXPECT_EQ(Remote().connected_host, "127.0.0.1");
  EXPECT_EQ(RemoteSocket(), 0);
  EXPECT_EQ(host().connections_accepted(), 0);
}

TEST_F(ForwardingTest, RepliesThatBreakTheRulesNeverOverrunRecords) {
  SetCurrentHost("Lab");
  FolderRecord answer;
  Fill(answer, 77);
  const std::string answer_element = "<PARAMETER1 SIZE=1540>" + Encoded(answer) + "</PARAMETER1>";
  auto folder = std::make_unique<FolderRecord>();
  FolderRecord original;
  Fill(original, 5);

  // No result element: the result is 0, the record is still copied.
  *folder = original;
  host().SetExecHandler([&](const std::string&) { return "<DATA>" + answer_element + "</DATA>"; });
  EXPECT_EQ(StandInFolderGet(folder.get()), 0u);
  EXPECT_EQ(0, std::memcmp(folder->bytes, answer.bytes, kFolderBytes));

  // A bad record body leaves the record; the result still counts.
  *folder = original;
  host().SetExecHandler([&](const std::string&) {
    return "<DATA><PARAMETER0 SIZE=4>" + EncodedValue(9) +
           "</PARAMETER0><PARAMETER1 SIZE=1540>YQB!AGMA</PARAMETER1></DATA>";
  });
  EXPECT_EQ(StandInFolderGet(folder.get()), 9u);
  EXPECT_EQ(0, std::memcmp(folder->bytes, original.bytes, kFolderBytes));

  // A record longer than the caller's is cut at the caller's size.
  std::vector<uint8_t> longer(3000);
  for (size_t i = 0; i < longer.size(); ++i) longer[i] = static_cast<uint8_t>(i % 13);
  host().SetExecHandler([&](const std::string&) { return BuildForwardedReply(2, 1, longer); });
  EXPECT_EQ(StandInFolderGet(folder.get()), 2u);
  EXPECT_EQ(0, std::memcmp(folder->bytes, longer.data(), kFolderBytes));

  // A reply longer than the buffer: only its first 32767 bytes are read.
  *folder = original;
  host().SetExecHandler([&](const std::string&) {
    return "<DATA><PARAMETER0 SIZE=4>" + EncodedValue(5) + "</PARAMETER0>" +
           std::string(40000, 'x') + answer_element + "</DATA>";
  });
  EXPECT_EQ(StandInFolderGet(folder.get()), 5u);
  EXPECT_EQ(0, std::memcmp(folder->bytes, original.bytes, kFolderBytes));
  EXPECT_EQ(g_local_runs, 0);
}

TEST_F(ForwardingTest, LibraryUnloadClosesTheConnection) {
  SetCurrentHost("Lab");
  FolderRecord folder{};
  EXPECT_EQ(StandInFolderGet(&folder), 1u);
  ASSERT_NE(RemoteSocket(), 0);
  ReloadLibrary();
  EXPECT_EQ(RemoteSocket(), 0);
  EXPECT_TRUE(host().WaitForPeerCloses(1));
  EXPECT_EQ(host().Transcript(), "1:AUTH 1:LOAD 1:EXEC");
}

TEST(ForwardedCalls, EveryEntryIsReachableByItsText) {
  for (const ForwardedCall& call : ForwardedCalls()) {
    const ForwardedCall* found = FindForwardedCall(call.function_text);
    ASSERT_NE(found, nullptr) << call.function_text;
    EXPECT_EQ(found->function, call.function);
    EXPECT_GT(call.parameter_sizes[0], 0u);
    if (call.copied_back != 0) {
      EXPECT_GT(call.parameter_sizes[call.copied_back - 1], 0u);
    }
  }
  EXPECT_EQ(FindForwardedCall("TLS_StoreFolderFindFirst"), nullptr);
  EXPECT_EQ(FindForwardedCall("StoreFolderFindFirst")->function,
            ForwardedFunction::kTLS_StoreFolderFindFirst);
}

}  // namespace
}  // namespace qx
