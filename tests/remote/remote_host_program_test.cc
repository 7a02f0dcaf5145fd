// The remote administration host program, run as a real process and driven
// through the library's own forwarding client.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "qxstore.h"
#include "remote/forwarding.h"
#include "remote/forwarding_decision.h"
#include "remote/remote_connection.h"
#include "remote/remote_state.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

using RemoteHostProgramTest = test::RemoteHostTest;

TEST_F(RemoteHostProgramTest, AuthenticatesLoadsModulesAndRefusesOthers) {
  const uint16_t port = StartHostProgram("open sesame");
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

  // The calendar module loads, but its functions are not carried out here
  // yet: they are answered as unknown ones.
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

template <class Record>
std::unique_ptr<Record> Zeroed() {
  auto record = std::make_unique<Record>();
  std::memset(record.get(), 0, sizeof *record);
  return record;
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

Steps MessageBlobChunks(const char* folder, const char* file) {
  Steps steps;
  auto blob = Zeroed<MESSAGEBLOBRECORD>();
  std::strcpy(blob->postoffice, "PO");
  std::strcpy(blob->mailbox, "MB");
  std::strcpy(blob->folder, folder);
  std::strcpy(blob->file, file);
  Take(steps, MessageItemBLOBGetSize(blob.get()), *blob);
  for (uint32_t more = MessageItemBLOBGetFirstChunk(blob.get());;
       more = MessageItemBLOBGetNextChunk(blob.get())) {
    Take(steps, more, *blob);
    if (more == 0 || steps.size() == kMostSteps) break;
  }
  return steps;
}

STOREFOLDER StoreFolder(const char* parent) {
  STOREFOLDER record{};
  std::strcpy(record.postoffice, "PO");
  std::strcpy(record.mailbox, "MB");
  std::strcpy(record.parent, parent);
  for (size_t i = 0; i < sizeof record.reserved; ++i) record.reserved[i] = static_cast<uint8_t>(i);
  return record;
}

Steps StoreFolderWalk() {
  Steps steps;
  STOREFOLDER top = StoreFolder("\\");
  for (uint32_t found = StoreFolderFindFirst(&top);; found = StoreFolderFindNext(&top)) {
    Take(steps, found, top);
    if (found != 1 || steps.size() == kMostSteps) break;
  }
  Take(steps, StoreFolderFindClose(&top), top);
  STOREFOLDER projects = StoreFolder("\\Projects");
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
  MakeDirs(mailbox + "/Projects/Alpha");
  WriteFile(mailbox + "/Projects/_index.xml", IndexWithSizes(100, 250));
  WriteFile(mailbox + "/Projects/Alpha/_index.xml", IndexWithSizes(4000, 7));

  const char* families[] = {"folder listing", "message BLOB chunks", "store folders"};
  const Steps local[] = {FolderListing(listed), MessageBlobChunks("\\Inbox", "big.MAI"),
                         StoreFolderWalk()};
  // The local runs did real work, so equal runs cannot be two failures.
  ASSERT_EQ(local[0].size(), 5u + 1 + 2) << ". .. alpha Beta Gamma, the end, get, close";
  EXPECT_STREQ(RecordOf<FOLDERRECORD>(local[0][4]).name, "Gamma");
  ASSERT_EQ(local[1].size(), 1u + 3 + 1);
  EXPECT_EQ(RecordOf<MESSAGEBLOBRECORD>(local[1][0]).length, 20000u);
  EXPECT_EQ(RecordOf<MESSAGEBLOBRECORD>(local[1][3]).length, 3616u);
  ASSERT_EQ(local[2].size(), 2u + 1 + 1 + 1);
  EXPECT_STREQ(RecordOf<STOREFOLDER>(local[2][1]).name, "Projects");
  EXPECT_EQ(RecordOf<STOREFOLDER>(local[2].back()).size, 100u + 250 + 4000 + 7);

  SetCurrentHost("Radms");
  const Steps forwarded[] = {FolderListing(listed), MessageBlobChunks("\\Inbox", "big.MAI"),
                             StoreFolderWalk()};
  EXPECT_EQ(Remote().connected_host, "Radms") << "the calls went to the host";
  for (size_t family = 0; family < std::size(local); ++family) {
    SCOPED_TRACE(families[family]);
    ASSERT_EQ(forwarded[family].size(), local[family].size());
    for (size_t step = 0; step < local[family].size(); ++step) {
      EXPECT_EQ(forwarded[family][step].result, local[family][step].result) << "step " << step;
      EXPECT_TRUE(forwarded[family][step].record == local[family][step].record) << "step " << step;
    }
  }
}

}  // namespace
}  // namespace qx
