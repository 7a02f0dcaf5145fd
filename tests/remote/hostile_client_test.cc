// A client that names places outside the store, in every name and path
// field of every call: through the real qxradms over TCP, and through the
// same calls made locally. Nothing outside the store (nor inside it) may
// change, and every call fails.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "frame/store_names.h"
#include "platform/errors.h"
#include "qxstore.h"
#include "remote/flat_records.h"
#include "remote/remote_state.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

using test::MessageBlobRecord;
using test::StoreFolderRecord;
using test::Zeroed;

template <size_t N>
void Set(char (&field)[N], const std::string& text) {
  ASSERT_LT(text.size(), N);
  std::memcpy(field, text.c_str(), text.size() + 1);
}

// Every entry below `root` with its size, links not followed.
std::string TreeListing(const std::string& root) {
  std::string listing;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    listing += entry.path().string();
    if (entry.is_regular_file() && !entry.is_symlink())
      listing += " " + std::to_string(entry.file_size());
    listing += "\n";
  }
  return listing;
}

struct HostileCall {
  std::string what;
  bool full_path;  // the older calls' full paths are held to the store on the host only
  std::function<uint32_t()> call;  // the result the caller sees; 0 is a refusal
};

class HostileClientTest : public test::RemoteHostTest {
 protected:
  void SetUp() override {
    RemoteHostTest::SetUp();
    MakeDirs(Mailbox() + "/Inbox");
    WriteFile(Mailbox() + "/Inbox/A.MAI", "Subject: kept\r\n\r\nbody\r\n");
    MakeDirs(Outside() + "/victim");
    WriteFile(Outside() + "/canary", "canary");
    Link(Outside(), Mailbox() + "/Out");
    WriteFile(root() + "/bad2/secret", "beside the bad mail directory");
    WriteFile(root() + "/bad/ok.MAI", "bad mail");
    Link(Outside() + "/canary", root() + "/bad/peek");
    WriteFile(root() + "/queue/ok.MAI", "Recipients=x\n");
    Link(Outside() + "/canary", root() + "/queue/evil.MAI");
    registry().SetString(std::string(test::kLibraryRootKey) + "\\CONNECTORS\\SMTP",
                         "Queue Directory", root() + "/queue");
    registry().SetString(test::kLibraryRootKey, "Bad Mail Directory", root() + "/bad");
    ReloadLibrary();
  }

  std::string Mailbox() const { return mail_root() + "/PO/MAILROOT/MB"; }
  std::string Outside() const { return root() + "/outside"; }
  static void Link(const std::string& target, const std::string& path) {
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
  }

  static uint32_t Folder(uint32_t (*call)(FOLDERRECORD*), const std::string& directory,
                         const std::string& name) {
    auto record = Zeroed<FOLDERRECORD>();
    Set(record->directory, directory);
    Set(record->name, name);
    return call(record.get());
  }
  static uint32_t FolderMove(const std::string& from, const std::string& to) {
    auto old_record = Zeroed<FOLDERRECORD>();
    auto new_record = Zeroed<FOLDERRECORD>();
    Set(old_record->directory, std::filesystem::path(from).parent_path().string());
    Set(old_record->name, std::filesystem::path(from).filename().string());
    Set(new_record->directory, std::filesystem::path(to).parent_path().string());
    Set(new_record->name, std::filesystem::path(to).filename().string());
    return FolderEdit(old_record.get(), new_record.get());
  }
  static uint32_t Messages(const std::string& pattern) {
    auto record = Zeroed<MESSAGESEARCHRECORD>();
    Set(record->pattern, pattern);
    return MessagesFindFirst(record.get());
  }
  static uint32_t ItemList(const char* po, const char* mb, const char* folder, bool count) {
    auto list = Zeroed<MESSAGELISTRECORD>();
    auto item = Zeroed<MESSAGEITEMRECORD>();
    Set(list->postoffice, po);
    Set(list->mailbox, mb);
    Set(list->folder, folder);
    list->rescan = 1;
    return count ? MessageItemListGetLength(list.get())
                 : MessageItemFindFirst(list.get(), item.get());
  }
  // Reads give 1 for a first chunk; size calls give the length they found.
  static uint32_t Blob(uint32_t (*call)(BLOBRECORD*), const std::string& path) {
    auto record = Zeroed<BLOBRECORD>();
    Set(record->path, path);
    record->length = call == BLOBGetSize ? 0 : 5;
    std::memcpy(record->data, "owned", 5);
    const uint32_t result = call(record.get());
    return call == BLOBGetSize ? record->length : result;
  }
  static uint32_t MessageBlob(uint32_t (*call)(MESSAGEBLOBRECORD*), const char* po, const char* mb,
                              const char* folder, const char* file) {
    auto record = MessageBlobRecord(folder, file, mb, po);
    record->length = call == MessageItemBLOBGetSize ? 0 : 5;
    std::memcpy(record->data, "owned", 5);
    const uint32_t result = call(record.get());
    return call == MessageItemBLOBGetSize ? record->length : result;
  }
  static uint32_t Command(uint32_t (*call)(COMMANDMESSAGE*), const std::string& directory,
                          const std::string& id) {
    auto record = Zeroed<COMMANDMESSAGE>();
    Set(record->directory, directory);
    Set(record->message_id, id);
    Set(record->recipients, "owned");
    return call(record.get());
  }
  static STOREFOLDER StoreRecord(const char* mb, const char* parent, const char* name) {
    return StoreFolderRecord(parent, name, mb);
  }
  static uint32_t Store(uint32_t (*call)(STOREFOLDER*), const char* mb, const char* parent,
                        const char* name) {
    STOREFOLDER record = StoreFolderRecord(parent, name, mb);
    return call(&record);
  }
  static uint32_t StoreTwo(uint32_t (*call)(STOREFOLDER*, STOREFOLDER*), STOREFOLDER from,
                           STOREFOLDER to) {
    return call(&from, &to);
  }

  std::vector<HostileCall> HostileCalls() const {
    const std::string mail = mail_root();
    const std::string box = Mailbox();
    const std::string out = Outside();
    const std::string bad = root() + "/bad";
    const std::string queue = root() + "/queue";
    const std::string bad2 = root() + "/bad2";
    return {
        {"FolderAdd outside", true, [=] { return Folder(FolderAdd, out, "new"); }},
        {"FolderAdd ..", true,
         [=] { return Folder(FolderAdd, mail + "/PO", "../../outside/new"); }},
        {"FolderAdd link", true, [=] { return Folder(FolderAdd, box + "/Out", "new"); }},
        {"FolderGet outside", true, [=] { return Folder(FolderGet, "/etc", "ssh"); }},
        {"FolderRemove outside", true, [=] { return Folder(FolderRemove, out, "victim"); }},
        {"FolderRemove ..", true, [=] { return Folder(FolderRemove, mail, "../outside/victim"); }},
        {"FolderRemove link", true, [=] { return Folder(FolderRemove, box + "/Out", "victim"); }},
        {"FolderEdit out of", true, [=] { return FolderMove(box + "/Inbox", out + "/moved"); }},
        {"FolderEdit into", true, [=] { return FolderMove(out + "/victim", box + "/pulled"); }},
        {"FolderEdit link", true, [=] { return FolderMove(box + "/Out/victim", box + "/pulled"); }},
        {"FolderFindFirst /etc", true, [=] { return Folder(FolderFindFirst, "/etc", ""); }},
        {"FolderFindFirst ..", true, [=] { return Folder(FolderFindFirst, mail + "\\..", ""); }},
        {"FolderFindFirst link", true, [=] { return Folder(FolderFindFirst, box + "/Out", ""); }},
        {"MessagesFindFirst /etc", true, [=] { return Messages("/etc/*"); }},
        {"MessagesFindFirst relative", true, [=] { return Messages("."); }},
        {"MessagesFindFirst link", true, [=] { return Messages(box + "/Out"); }},
        {"BLOBGetSize link", true, [=] { return Blob(BLOBGetSize, bad + "/peek"); }},
        {"BLOBGetFirstChunk link", true, [=] { return Blob(BLOBGetFirstChunk, bad + "/peek"); }},
        {"BLOBGetFirstChunk sibling", true,
         [=] { return Blob(BLOBGetFirstChunk, bad2 + "/secret"); }},
        {"BLOBGetFirstChunk ..", true,
         [=] { return Blob(BLOBGetFirstChunk, bad + "/../outside/canary"); }},
        {"BLOBWriteFirstChunk sibling", true,
         [=] { return Blob(BLOBWriteFirstChunk, bad2 + "/x.MAI"); }},
        {"CommandMessageFindFirst /etc", true,
         [=] { return Command(CommandMessageFindFirst, "/etc", ""); }},
        {"CommandMessageGet link", true,
         [=] { return Command(CommandMessageGet, queue, "evil.MAI"); }},
        {"CommandMessageGet ..", true,
         [=] { return Command(CommandMessageGet, queue, "../outside/canary"); }},
        {"CommandMessageSet outside", true,
         [=] { return Command(CommandMessageSet, out, "canary"); }},
        {"CommandMessageSet link", true,
         [=] { return Command(CommandMessageSet, queue, "evil.MAI"); }},
        // Names, refused wherever the call runs.
        {"MessageItemFindFirst postoffice", false,
         [] { return ItemList("..", "x", "\\Inbox", false); }},
        {"MessageItemFindFirst folder", false,
         [] { return ItemList("PO", "MB", "\\..\\..\\..\\..\\outside", false); }},
        {"MessageItemFindFirst link", false, [] { return ItemList("PO", "MB", "\\Out", false); }},
        {"MessageItemListGetLength", false,
         [] { return ItemList("PO", "../..", "\\Inbox", true); }},
        {"MessageItemBLOBGetSize file", false,
         [] { return MessageBlob(MessageItemBLOBGetSize, "PO", "MB", "\\Out", "canary"); }},
        {"MessageItemBLOBGetFirstChunk file", false,
         [] {
           return MessageBlob(MessageItemBLOBGetFirstChunk, "PO", "MB", "\\Inbox",
                              "../../../../../outside/canary");
         }},
        {"MessageItemBLOBGetFirstChunk mailbox", false,
         [] {
           return MessageBlob(MessageItemBLOBGetFirstChunk, "PO", "..", "\\..\\..\\outside",
                              "canary");
         }},
        {"MessageItemBLOBWriteFirstChunk absolute", false,
         [] {
           return MessageBlob(MessageItemBLOBWriteFirstChunk, "PO", "MB", "\\Inbox",
                              "/tmp/pwned.txt");
         }},
        {"MessageItemBLOBWriteFirstChunk link", false,
         [] {
           return MessageBlob(MessageItemBLOBWriteFirstChunk, "PO", "MB", "\\Out", "new.MAI");
         }},
        {"MessageItemBLOBWriteNextChunk postoffice", false,
         [=] {
           return MessageBlob(MessageItemBLOBWriteNextChunk, out.c_str(), "MB", "\\Inbox", "A.MAI");
         }},
        {"StoreFolderAdd mailbox", false, [] { return Store(StoreFolderAdd, "..", "\\", "x"); }},
        {"StoreFolderAdd name", false,
         [] { return Store(StoreFolderAdd, "MB", "\\", "..\\..\\..\\..\\escape"); }},
        {"StoreFolderAdd link", false, [] { return Store(StoreFolderAdd, "MB", "\\Out", "new"); }},
        {"StoreFolderRemove mailbox", false,
         [] { return Store(StoreFolderRemove, "..", "\\", ""); }},
        {"StoreFolderRemove link", false,
         [] { return Store(StoreFolderRemove, "MB", "\\", "Out"); }},
        {"StoreFolderEdit", false,
         [] {
           return StoreTwo(StoreFolderEdit, StoreRecord("MB", "\\", "Inbox"),
                           StoreRecord("MB", "\\..\\..\\..\\..", "outside"));
         }},
        {"StoreFolderCopy link", false,
         [] {
           return StoreTwo(StoreFolderCopy, StoreRecord("MB", "\\", "Out"),
                           StoreRecord("MB", "\\", "Pulled"));
         }},
        {"StoreFolderFindFirst link", false,
         [] { return Store(StoreFolderFindFirst, "MB", "\\Out", ""); }},
        {"StoreFolderGet", false, [] { return Store(StoreFolderGet, "MB", "/..", ""); }},
    };
  }

  // Runs every call and checks that each failed and nothing changed.
  void ExpectAllRefused(bool remote) {
    const std::string before = TreeListing(root());
    for (const HostileCall& hostile : HostileCalls()) {
      if (hostile.full_path && !remote) continue;
      platform::SetLastError(0);
      EXPECT_EQ(hostile.call(), 0u) << hostile.what;
      if (!remote) {
        EXPECT_TRUE(IsConfinementRefusal(platform::GetLastError()))
            << hostile.what << ": " << platform::GetLastError();
      }
    }
    EXPECT_EQ(ReadFile(Outside() + "/canary"), "canary");
    EXPECT_EQ(TreeListing(root()), before);
  }
};

TEST_F(HostileClientTest, TheHostRefusesEveryPathOutOfTheStore) {
  const uint16_t port = StartHostProgram();
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  AddHost("Radms", port, "open sesame");
  SetCurrentHost("Radms");

  // The same host carries out calls inside the store, so refusals are real.
  EXPECT_EQ(MessageItemBLOBGetFirstChunk(MessageBlobRecord("\\Inbox", "A.MAI").get()), 1u);
  EXPECT_EQ(Remote().connected_host, "Radms");
  EXPECT_EQ(Blob(BLOBGetFirstChunk, root() + "/bad/ok.MAI"), 1u);
  EXPECT_EQ(Command(CommandMessageGet, root() + "/queue", "ok.MAI"), 1u);
  EXPECT_EQ(Folder(FolderFindFirst, Mailbox(), ""), 1u);
  EXPECT_EQ(Folder(FolderFindClose, Mailbox(), ""), 0u);

  ExpectAllRefused(true);
  // Refusals are logged, naming the client.
  const std::vector<std::string> refused = host_log().RecordsWith("path refused for 127.0.0.1 port ", 1);
  ASSERT_FALSE(refused.empty());
  EXPECT_NE(refused.front().find("(error "), std::string::npos);
}

TEST_F(HostileClientTest, LocalCallsRefuseTheSameNames) {
  ExpectAllRefused(false);
  // Calls that are never forwarded build their paths from the same names.
  uint8_t status[52] = {};
  EXPECT_EQ(SetCachedStatus("PO", "MB", "..\\..\\..\\..\\outside", status), 0u);
  EXPECT_EQ(GetCachedStatus("PO", "MB", "Out", status), 0u);
  EXPECT_EQ(Direct_StoreIndex_InsertItem("PO", "MB", "Out", "canary"), 0u);
  EXPECT_EQ(Direct_StoreIndex_InsertItem("PO", "MB", "Inbox", "../../../../../outside/canary"), 1u);
  EXPECT_EQ(Direct_StoreIndex_RemoveItem("PO", "..", "Inbox", "A.MAI"), 0u);
  EXPECT_EQ(RemoveMailboxShares("../../../../outside", "PO"), 0u);
  EXPECT_EQ(StoreFolder_Open("PO", "MB", "Out", 0, 0), 0u);
  EXPECT_EQ(StoreFolder_Open("PO", "..", "..\\..\\outside", 0, 0), 0u);
  EXPECT_EQ(StoreFolder_OpenItem("PO", "MB", "Out", "canary", 0), 0u);
  StoreFolder_Close();
  StoreIndex index;
  StoreIndex_Init(&index);
  std::strcpy(index.postoffice, "PO");
  std::strcpy(index.mailbox, "MB");
  std::strcpy(index.folder, "Out\\victim");
  EXPECT_EQ(StoreIndex_SetPaths(&index), 0u);
  EXPECT_STREQ(index.folder_directory, "");
  EXPECT_EQ(ReadFile(Outside() + "/canary"), "canary");
  // The insert above ran its transaction in the Inbox and skipped the name.
  EXPECT_FALSE(Exists(Mailbox() + "/Inbox/_index.xml"));
  EXPECT_FALSE(Exists(Outside() + "/_index.xml"));
}

}  // namespace
}  // namespace qx
