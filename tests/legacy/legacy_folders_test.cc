// Directory operations of the older flat interface, the process's folder
// listing, and the family's calls forwarded to a remote host.

#include "legacy/legacy_folders.h"

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "qxstore.h"
#include "remote/connection_socket.h"
#include "remote/fake_remote_host.h"
#include "remote/forwarded_execution.h"
#include "remote/remote_state.h"
#include "support/test_store.h"

namespace qx {
namespace {

std::unique_ptr<FOLDERRECORD> Folder(const std::string& directory, const std::string& name = "") {
  auto folder = std::make_unique<FOLDERRECORD>();
  std::memset(folder.get(), 0, sizeof *folder);
  std::strncpy(folder->directory, directory.c_str(), sizeof folder->directory - 1);
  std::strncpy(folder->name, name.c_str(), sizeof folder->name - 1);
  return folder;
}

class LegacyFoldersTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    FolderFindClose(nullptr);
    parent_ = root() + "/parent";
    MakeDirs(parent_);
  }

  // Every name the folder listing of `directory` gives.
  std::vector<std::string> FindAll(const std::string& directory) {
    std::vector<std::string> names;
    auto folder = Folder(directory);
    for (uint32_t more = FolderFindFirst(folder.get()); more == 1;
         more = FolderFindNext(folder.get())) {
      names.push_back(folder->name);
    }
    return names;
  }

  std::string parent_;
};

using Names = std::vector<std::string>;

TEST_F(LegacyFoldersTest, AddRemoveAndEditWorkOnDirectoryBackslashName) {
  auto work = Folder(parent_, "Work");
  EXPECT_NE(FolderAdd(work.get()), 0u);
  EXPECT_TRUE(Exists(parent_ + "/Work"));
  EXPECT_EQ(FolderAdd(work.get()), 0u) << "already there";
  EXPECT_EQ(FolderAdd(Folder(parent_ + "/none", "Deep").get()), 0u) << "one level only";
  EXPECT_FALSE(Exists(parent_ + "/none"));
  EXPECT_EQ(FolderGet(Folder("/does/not/exist", "x").get()), 1u);

  WriteFile(parent_ + "/Work/A.MAI", "kept");
  EXPECT_EQ(FolderRemove(work.get()), 0u) << "not empty";
  auto other = Folder(root(), "Moved");
  EXPECT_NE(FolderEdit(work.get(), other.get()), 0u);
  EXPECT_FALSE(Exists(parent_ + "/Work"));
  EXPECT_EQ(ReadFile(root() + "/Moved/A.MAI"), "kept");
  EXPECT_EQ(FolderEdit(work.get(), other.get()), 0u) << "the source is gone";

  std::remove((root() + "/Moved/A.MAI").c_str());
  EXPECT_NE(FolderRemove(other.get()), 0u);
  EXPECT_FALSE(Exists(root() + "/Moved"));
  EXPECT_EQ(FolderRemove(other.get()), 0u);
}

TEST_F(LegacyFoldersTest, PathsThatDoNotFitTouchNothing) {
  // 1022 bytes of directory leave no room for "\x": nothing may be created
  // under a cut path.
  const std::string directory = parent_ + "/" + std::string(1022 - parent_.size() - 1, 'd');
  ASSERT_EQ(directory.size(), 1022u);
  auto folder = Folder(directory, "x");
  EXPECT_EQ(LegacyFolderPath(*folder), "");
  EXPECT_EQ(FolderAdd(folder.get()), 0u);
  EXPECT_EQ(FolderFindFirst(folder.get()), 0u);
  EXPECT_EQ(FindAll(parent_), (Names{".", ".."}));

  // Fields filled to the last byte without a terminator are read to their end.
  auto full = Folder("");
  std::memset(full->directory, 'a', sizeof full->directory);
  std::memset(full->name, 'b', sizeof full->name);
  EXPECT_EQ(LegacyFolderPath(*full), "");
  EXPECT_EQ(FolderAdd(nullptr), 0u);
  EXPECT_EQ(FolderEdit(full.get(), nullptr), 0u);
}

TEST_F(LegacyFoldersTest, ListingGivesNamesWithoutAnExtension) {
  WriteFile(parent_ + "/report.txt", "r");
  MakeDirs(parent_ + "/Sub");
  MakeDirs(parent_ + "/archive.2020");
  WriteFile(parent_ + "/README", "r");
  EXPECT_EQ(FindAll(parent_), (Names{".", "..", "README", "Sub"}));
  EXPECT_EQ(FindAll(parent_ + "/missing"), (Names{}));
}

TEST_F(LegacyFoldersTest, OneListingPerProcessFollowedWhateverTheRecordSays) {
  MakeDirs(parent_ + "/A");
  MakeDirs(parent_ + "/B");
  auto folder = Folder(parent_);
  ASSERT_EQ(FolderFindFirst(folder.get()), 1u);
  EXPECT_STREQ(folder->name, ".");
  auto elsewhere = Folder("/somewhere/else");
  ASSERT_EQ(FolderFindNext(elsewhere.get()), 1u);
  EXPECT_STREQ(elsewhere->name, "..");
  EXPECT_EQ(FolderFindClose(folder.get()), 0u) << "0 even with a listing open";
  EXPECT_EQ(FolderFindNext(folder.get()), 0u);
  EXPECT_EQ(FolderFindClose(folder.get()), 0u);

}

const std::string kHosts =
    "HKEY_CURRENT_USER\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Administration\\Hosts\\Lab";

class LegacyForwardingTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    CloseRemoteSocket();
    Remote() = RemoteState{};
    host_ = std::make_unique<test::FakeRemoteHost>();
    ASSERT_TRUE(host_->listening());
    registry().SetString(kHosts, "Address", "127.0.0.1");
    registry().SetDword(kHosts, "Port", host_->port());
    registry().SetString(kHosts, "Credentials", "s3cret");
    registry().SetString(kHosts, "Authentication Protocol", "QXSTORE");
    registry().Save();
    ASSERT_EQ(SetCurrentHost("Lab"), 1u);
  }

  void TearDown() override {
    CloseRemoteSocket();
    Remote() = RemoteState{};
    test::StoreTest::TearDown();
    host_.reset();
  }

  // The host runs each request with the library's own local functions.
  void ServeLocally() {
    host_->SetExecHandler([](const std::string& request) {
      return ExecuteForwardedRequest(request, [](const ForwardedCall& call, void* p1, void* p2) {
        return call.local(p1, p2);
      });
    });
  }

  std::unique_ptr<test::FakeRemoteHost> host_;
};

TEST_F(LegacyForwardingTest, FolderGetRunsOnTheHostAndCopiesTheRecordBack) {
  auto folder = Folder("C:\\Mail", "Inbox");
  folder->reserved = 0xA5A5A5A5;
  std::vector<uint8_t> received;
  host_->SetExecHandler([&](const std::string& request) {
    return ExecuteForwardedRequest(request, [&](const ForwardedCall& call, void* p1, void* p2) {
      EXPECT_STREQ(call.function_text, "FolderGet");
      EXPECT_EQ(p2, nullptr);
      received.assign(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + 1540);
      std::strcpy(static_cast<FOLDERRECORD*>(p1)->name, "Answered");
      return 5u;
    });
  });
  EXPECT_EQ(FolderGet(folder.get()), 5u);
  EXPECT_STREQ(folder->name, "Answered");
  EXPECT_STREQ(folder->directory, "C:\\Mail");
  ASSERT_EQ(received.size(), 1540u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(received.data()) + 1024), "Inbox");
  EXPECT_EQ(received[1536], 0xA5);

  const auto messages = host_->Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(messages.back().text.find("<FUNCTION>FolderGet</FUNCTION><PARAMETERS><PARAMETER1 "
                                      "SIZE=1540>"),
            std::string::npos);
}

TEST_F(LegacyForwardingTest, EnumerationRunsOnTheHostAgainstItsStore) {
  const std::string inbox = mail_root() + "/PO/MAILROOT/box/INBOX";
  MakeDirs(inbox);
  WriteFile(inbox + "/A.MAI", "Subject: a\r\n\r\nbody\r\n");
  WriteFile(inbox + "/B.MAI", "Subject: b\r\nX-Read: 1\r\n\r\nbody\r\n");
  ServeLocally();

  auto list = std::make_unique<MESSAGELISTRECORD>();
  std::memset(list.get(), 0, sizeof *list);
  std::strcpy(list->folder, "\\Inbox");
  std::strcpy(list->postoffice, "PO");
  std::strcpy(list->mailbox, "box");
  MESSAGEITEMRECORD item{};
  ASSERT_EQ(MessageItemFindFirst(list.get(), &item), 1u);
  EXPECT_STREQ(item.id, "A.MAI");
  EXPECT_STREQ(list->folder, "\\Inbox") << "the list record is not copied back";
  ASSERT_EQ(MessageItemFindNext(list.get(), &item), 1u);
  EXPECT_STREQ(item.id, "B.MAI");
  EXPECT_EQ(MessageItemFindNext(list.get(), &item), 0u);
  EXPECT_EQ(MessageItemListGetUnReadLength(list.get()), 1u);
  uint32_t position = 1;
  EXPECT_EQ(MessageItemListSetPosition(&position), 1u);
  EXPECT_EQ(MessageItemFindClose(list.get()), 1u);

  MESSAGESEARCHRECORD search{};
  std::strcpy(search.pattern, (inbox + "/*.MAI").c_str());
  ASSERT_EQ(MessagesFindFirst(&search), 1u);
  EXPECT_STREQ(search.name, "A.MAI");

  std::set<std::string> functions;
  for (const auto& message : host_->Messages()) {
    functions.insert(MessageElement(message.text, "FUNCTION"));
  }
  EXPECT_EQ(functions, (std::set<std::string>{"", "MessageItemFindFirst", "MessageItemFindNext",
                                              "MessageItemListGetUnReadLength",
                                              "MessageItemListSetPosition",
                                              "MessageItemFindClose", "MessagesFindFirst"}));
  const std::string first = host_->Messages()[2].text;
  EXPECT_NE(first.find("<PARAMETER1 SIZE=5380>"), std::string::npos) << first;
  EXPECT_NE(first.find("<PARAMETER2 SIZE=2184>"), std::string::npos) << first;
}

}  // namespace
}  // namespace qx
