// The remote administration host program, run as a real process and driven
// through the library's own forwarding client.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "legacy/blob_transfer.h"
#include "platform/diagnostics.h"
#include "platform/socket.h"
#include "qxstore.h"
#include "remote/flat_records.h"
#include "remote/forwarding.h"
#include "remote/forwarding_decision.h"
#include "remote/remote_connection.h"
#include "remote/remote_state.h"
#include "support/program_run.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

using RemoteHostProgramTest = test::RemoteHostTest;
using test::StoreFolderRecord;
using test::Zeroed;

TEST_F(RemoteHostProgramTest, AuthenticatesLoadsModulesAndRefusesOthers) {
  const uint16_t port = StartHostProgram("open sesame", {"--auth-delay-ms", "10"});
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  AddHost("Radms", port, "open sesame");
  AddHost("Intruder", port, "open sesame!");

  // Other credentials: connected, but nothing is loaded.
  SetCurrentHost("Intruder");
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForward);
  EXPECT_EQ(Remote().loaded_library, "");
  EXPECT_EQ(RemoteLoadLibrary(kStoreProviderModule), 0u);

  SetCurrentHost("Radms");
  EXPECT_EQ(PrepareRemoteCall(kStoreProviderModule), kForward);
  EXPECT_EQ(Remote().connected_host, "Radms");
  EXPECT_EQ(Remote().loaded_library, kStoreProviderModule);
  // A function the host does not know gets a reply without a result.
  ForwardedCall unknown = ForwardedCallOf("FolderGet");
  unknown.function_text = "NoSuchFunction";
  uint8_t record[1540] = {1, 2, 3};
  EXPECT_EQ(ExchangeForwardedCall(unknown, record, nullptr), 0u);
  EXPECT_EQ(record[2], 3);
  EXPECT_EQ(RemoteAuthenticate("NOTASTOREMODULE.DLL"), 0u);
  EXPECT_EQ(Remote().loaded_library, kStoreProviderModule);
  EXPECT_EQ(PrepareRemoteCall(kCalendarProviderModule), kForward);
  EXPECT_EQ(Remote().loaded_library, kCalendarProviderModule);

  // The calendar module loads and its functions run on the host: a record
  // that names no mailbox finds nothing and comes back as it went.
  struct Appointment {
    uint8_t bytes[648];
  } appointment;
  std::memset(appointment.bytes, 0x5A, sizeof appointment.bytes);
  EXPECT_EQ(ForwardCall<"AppointmentGet">(&appointment), 0u);
  EXPECT_EQ(appointment.bytes[647], 0x5A);
}

// What a run of calls left behind: each result and the whole record after it.
struct Step {
  uint32_t result;
  std::vector<uint8_t> record;
};
using Steps = std::vector<Step>;

// Enough for every run below; a host that never ends an enumeration stops there.
constexpr size_t kMostSteps = 16;

template <class Record>
void Take(Steps& steps, uint32_t result, const Record& record) {
  std::span<const uint8_t> bytes = test::RecordBytes(record);
  steps.push_back({result, {bytes.begin(), bytes.end()}});
}

Steps FolderListing(const std::string& directory) {
  Steps steps;
  auto folder = Zeroed<FOLDERRECORD>();
  std::strcpy(folder->directory, directory.c_str());
  for (uint32_t more = FolderFindFirst(folder.get());; more = FolderFindNext(folder.get())) {
    Take(steps, more, *folder);
    if (more != 1 || steps.size() == kMostSteps) break;
  }
  Take(steps, FolderGet(folder.get()), *folder);
  Take(steps, FolderFindClose(folder.get()), *folder);
  return steps;
}

// A whole read of either BLOB family: the size, then every chunk.
template <class Record>
Steps BlobChunks(Record* blob, uint32_t (*size)(Record*), uint32_t (*first)(Record*),
                 uint32_t (*next)(Record*)) {
  Steps steps;
  Take(steps, size(blob), *blob);
  for (uint32_t more = first(blob);; more = next(blob)) {
    Take(steps, more, *blob);
    if (more == 0 || steps.size() == kMostSteps) break;
  }
  return steps;
}

Steps MessageBlobChunks() {
  auto blob = test::MessageBlobRecord("\\Inbox", "big.MAI");
  return BlobChunks(blob.get(), MessageItemBLOBGetSize, MessageItemBLOBGetFirstChunk,
                    MessageItemBLOBGetNextChunk);
}

Steps BadMailChunks(const std::string& path) {
  auto blob = Zeroed<BLOBRECORD>();
  std::strcpy(blob->path, path.c_str());
  return BlobChunks(blob.get(), BLOBGetSize, BLOBGetFirstChunk, BLOBGetNextChunk);
}

Steps InboxItems() {
  Steps steps;
  auto list = Zeroed<MESSAGELISTRECORD>();
  std::strcpy(list->postoffice, "PO");
  std::strcpy(list->mailbox, "MB");
  std::strcpy(list->folder, "\\Inbox");
  auto item = Zeroed<MESSAGEITEMRECORD>();
  for (uint32_t more = MessageItemFindFirst(list.get(), item.get());;
       more = MessageItemFindNext(list.get(), item.get())) {
    Take(steps, more, *item);
    if (more != 1 || steps.size() == kMostSteps) break;
  }
  Take(steps, MessageItemListGetUnReadLength(list.get()), *list);
  return steps;
}

Steps StoreFolderWalk() {
  Steps steps;
  STOREFOLDER top = StoreFolderRecord("\\");
  for (uint32_t found = StoreFolderFindFirst(&top);; found = StoreFolderFindNext(&top)) {
    Take(steps, found, top);
    if (found != 1 || steps.size() == kMostSteps) break;
  }
  Take(steps, StoreFolderFindClose(&top), top);
  STOREFOLDER projects = StoreFolderRecord("\\Projects");
  Take(steps, StoreFolderGet(&projects), projects);
  return steps;
}

template <class Record>
Record RecordOf(const Step& step) {
  Record record;
  std::memcpy(&record, step.record.data(), sizeof record);
  return record;
}

std::string IndexWithSizes(int first, int second) {
  return "<?xml version=\"1.0\"?><BASEELEMENT><LASTUID>2</LASTUID>"
         "<ELEMENT ID=\"a.MAI\" UID=\"1\"><SIZE>" + std::to_string(first) + "</SIZE></ELEMENT>"
         "<ELEMENT ID=\"b.MAI\" UID=\"2\"><SIZE>" + std::to_string(second) + "</SIZE></ELEMENT>"
         "</BASEELEMENT>";
}

TEST_F(RemoteHostProgramTest, ForwardedCallsLeaveTheRecordsLocalCallsLeave) {
  const std::string bad_mail = root() + "/badmail";
  registry().SetString(test::kLibraryRootKey, "Bad Mail Directory", bad_mail);
  ReloadLibrary();
  const uint16_t port = StartHostProgram();
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  AddHost("Radms", port, "open sesame");

  // Below the mail root: the host lists nothing outside the store.
  const std::string listed = mail_root() + "/listed";
  for (const char* name : {"Beta", "alpha"}) MakeDirs(listed + "/" + name);
  WriteFile(listed + "/Gamma", "a file without an extension");
  WriteFile(listed + "/notes.txt", "");
  const std::string mailbox = mail_root() + "/PO/MAILROOT/MB";
  std::string content(20000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  WriteFile(mailbox + "/Inbox/big.MAI", content);
  WriteFile(mailbox + "/Inbox/read.MAI", "Subject: b\r\nX-Read: 1\r\n\r\nbody\r\n");
  WriteFile(bad_mail + "/big.MAI", content);
  MakeDirs(mailbox + "/Projects/Alpha");
  WriteFile(mailbox + "/Projects/_index.xml", IndexWithSizes(100, 250));
  WriteFile(mailbox + "/Projects/Alpha/_index.xml", IndexWithSizes(4000, 7));

  auto run_all = [&] {
    // The items first: the index they build is in place for the store folders either way.
    return std::vector<Steps>{InboxItems(), FolderListing(listed), MessageBlobChunks(),
                              StoreFolderWalk(), BadMailChunks(bad_mail + "/big.MAI")};
  };
  const char* families[] = {"message items", "folder listing", "message BLOB chunks",
                            "store folders", "bad mail BLOB chunks"};
  const std::vector<Steps> local = run_all();
  // The local runs did real work, so equal runs cannot be two failures.
  ASSERT_EQ(local[0].size(), 2u + 1 + 1);
  EXPECT_STREQ(RecordOf<MESSAGEITEMRECORD>(local[0][0]).id, "big.MAI");
  EXPECT_EQ(local[0].back().result, 1u) << "one of two unread";
  ASSERT_EQ(local[1].size(), 5u + 1 + 2) << ". .. alpha Beta Gamma, the end, get, close";
  EXPECT_STREQ(RecordOf<FOLDERRECORD>(local[1][4]).name, "Gamma");
  ASSERT_EQ(local[2].size(), 1u + 3 + 1);
  EXPECT_EQ(RecordOf<MESSAGEBLOBRECORD>(local[2][0]).length, 20000u);
  EXPECT_EQ(RecordOf<MESSAGEBLOBRECORD>(local[2][3]).length, 3616u);
  ASSERT_EQ(local[3].size(), 2u + 1 + 1 + 1);
  EXPECT_STREQ(RecordOf<STOREFOLDER>(local[3][1]).name, "Projects");
  EXPECT_EQ(RecordOf<STOREFOLDER>(local[3].back()).size, 100u + 250 + 4000 + 7);
  ASSERT_EQ(local[4].size(), 1u + 3 + 1);
  EXPECT_EQ(RecordOf<BLOBRECORD>(local[4][3]).length, 3616u);

  // Reads run on the host move none of this process's read offsets.
  RestartBlobRead(BlobFamily::kBadMail);
  RestartBlobRead(BlobFamily::kMessageItem);
  SetCurrentHost("Radms");
  const std::vector<Steps> forwarded = run_all();
  EXPECT_EQ(Remote().connected_host, "Radms") << "the calls went to the host";
  EXPECT_EQ(BlobReadOffset(BlobFamily::kBadMail), 0);
  EXPECT_EQ(BlobReadOffset(BlobFamily::kMessageItem), 0);
  for (size_t family = 0; family < local.size(); ++family) {
    SCOPED_TRACE(families[family]);
    ASSERT_EQ(forwarded[family].size(), local[family].size());
    for (size_t step = 0; step < local[family].size(); ++step) {
      EXPECT_EQ(forwarded[family][step].result, local[family][step].result) << "step " << step;
      EXPECT_TRUE(forwarded[family][step].record == local[family][step].record) << "step " << step;
    }
  }
}

TEST_F(RemoteHostProgramTest, QuietOnStandardOutputAndNoRecordInAnyLog) {
  const uint16_t port = StartHostProgram();
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  AddHost("Radms", port, "open sesame");
  // Below the mail root: the host lists nothing outside the store.
  const std::string listed = mail_root() + "/listed";
  MakeDirs(listed + "/Marker-7f3a");
  // This client as a deployed one: diagnostics on standard output, no trace.
  unsetenv("QXSTORE_DIAG");
  platform::ReloadDiagnosticsSettings();
  SetCurrentHost("Radms");
  testing::internal::CaptureStdout();
  int found = 0;
  for (int run = 0; run < 40; ++run) {
    Steps steps = FolderListing(listed);
    found += steps.size() == 6 && std::string(RecordOf<FOLDERRECORD>(steps[2]).name) == "Marker-7f3a";
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "the client's coder traces nothing";
  EXPECT_EQ(found, 40) << "240 forwarded calls: . .. Marker-7f3a, the end, get and close";

  ASSERT_EQ(StopHostProgram(), 0);
  EXPECT_EQ(HostStandardOutput(), "");
  for (const std::string& record : host_log().Records()) {
    EXPECT_EQ(record.find("Marker"), std::string::npos) << record;
    EXPECT_EQ(record.find("PARAMETER"), std::string::npos) << record;
  }
  EXPECT_FALSE(host_log().RecordsWith("AUTH accepted", 1).empty());
}

TEST_F(RemoteHostProgramTest, RefusesToStartUnsafelyAndSaysWhy) {
  const std::string binary = std::string(QX_BINARY_DIR) + "/qxradms";
  if (access(binary.c_str(), X_OK) != 0) GTEST_SKIP() << "qxradms is not built";
  const std::string secret = root() + "/secret";
  const std::string shared = root() + "/shared";
  WriteFile(secret, "open sesame\n");
  WriteFile(shared, "open sesame\n");
  chmod(secret.c_str(), 0600);
  chmod(shared.c_str(), 0640);
  uint16_t taken = 0;
  platform::SocketHandle holder = platform::ListenTcp("127.0.0.1", 0, &taken);
  const std::string log = " --syslog-socket " + host_log().path();
  const struct {
    std::string arguments;
    int exit_code;
    std::string says;
  } cases[] = {
      {"--credentials-file " + shared, 1, "mode 0640 lets others read it; chmod 600 it"},
      {"--credentials-file " + secret + " --port " + std::to_string(taken), 1,
       "cannot listen on 127.0.0.1:" + std::to_string(taken) + ": address already in use (10048)"},
      {"--credentials-file " + secret + " --tls-cert " + shared + " --tls-key " + shared, 1,
       "TLS key " + shared + ": mode 0640"},
      {"--credentials-file " + secret + " --port 0 --user no-such-user-qx", 1,
       "--user: no user no-such-user-qx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    test::ProgramRun run =
        test::RunCommandLine("env -u QXSTORE_PROGRAM " + binary + " " + c.arguments + log + " 2>&1");
    EXPECT_EQ(run.exit_code, c.exit_code) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
  platform::CloseSocket(holder);
}

TEST_F(RemoteHostProgramTest, GivesRootUpForTheUserNamed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  const uint16_t port = StartHostProgram("open sesame", {"--user", "nobody"});
  ASSERT_NE(port, 0);
  const std::string status = ReadFile("/proc/" + std::to_string(host_pid()) + "/status");
  const size_t uid = status.find("Uid:");
  ASSERT_NE(uid, std::string::npos);
  EXPECT_EQ(status.substr(uid, status.find('\n', uid) - uid), "Uid:\t65534\t65534\t65534\t65534");
}

}  // namespace
}  // namespace qx
