#include "index/folder_status.h"

#include <array>
#include <cstring>
#include <string>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

using Status = std::array<uint32_t, kFolderStatusFields>;

class FolderStatusTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    mailbox_ = mail_root() + "/PO/MAILROOT/box";
    MakeDirs(mailbox_ + "/Inbox");
  }

  static XmlDocument Document() {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(InitializeIndexDocument(document));
    return document;
  }

  static pugi::xml_node AddEntry(const XmlDocument& document, const std::string& flags,
                                 const std::string& read) {
    pugi::xml_node entry = AppendElement(document.DocumentElement(), kEntryElement);
    SetChildText(entry, kFlagStatusElement, flags);
    SetChildText(entry, kReadElement, read);
    return entry;
  }

  // Little-endian bytes of thirteen numbers, as other processes read them.
  static std::string Bytes(const Status& status) {
    std::string bytes;
    for (uint32_t value : status) {
      for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xFF);
    }
    return bytes;
  }

  std::string mailbox_;
};

TEST_F(FolderStatusTest, CountsTheFlagsOfEveryEntryAndWritesTheExact52Bytes) {
  XmlDocument document = Document();
  AddEntry(document, "\\SEEN \\ANSWERED", "0");
  AddEntry(document, "\\RECENT", "0");
  AddEntry(document, "", "1");
  SetDocumentLastUid(document, 41);

  Status status;
  status.fill(0xAAAAAAAA);
  const std::string inbox = mailbox_ + "/Inbox";
  ASSERT_EQ(CacheFolderStatus(document, status, inbox), 1u);
  //                 0  del 2  ans flg mrk ent seen rec 9  10  uid 12
  const Status expected{0, 0, 0, 1, 0, 1, 3, 2, 1, 0, 0, 41, 0};
  EXPECT_EQ(status, expected);
  EXPECT_EQ(ReadFile(inbox + "/_FOLDER.DAT"), Bytes(expected));

  Status read_back{};
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", read_back.data()), 1u);
  EXPECT_EQ(read_back, expected);
}

TEST_F(FolderStatusTest, FlagWordsCountWithoutRegardToCaseWithinTheFirst255Bytes) {
  XmlDocument document = Document();
  AddEntry(document, "\\deleted \\Flagged \\answered", "0");
  AddEntry(document, "\\DELETED", "0");
  // A flag word past byte 255 of FLAGSTATUS was never looked at.
  AddEntry(document, std::string(252, 'x') + " \\SEEN", "0");
  AddEntry(document, "\\FLAGGED", "Yes");
  Status status{};
  ASSERT_TRUE(ComputeFolderStatus(document, status));
  EXPECT_EQ(status[kStatusDeleted], 2u);
  EXPECT_EQ(status[kStatusFlagged], 2u);
  EXPECT_EQ(status[kStatusAnswered], 1u);
  EXPECT_EQ(status[kStatusSeen], 0u);
  EXPECT_EQ(status[kStatusSeenMarker], 0u);
  EXPECT_EQ(status[kStatusEntries], 4u);
  // Without LASTUID the last UID is the number of the root's children.
  EXPECT_EQ(status[kStatusLastUid], 4u);

  // An empty document is a folder with no messages.
  XmlDocument empty = Document();
  status.fill(9);
  ASSERT_TRUE(ComputeFolderStatus(empty, status));
  EXPECT_EQ(status, Status{});
}

TEST_F(FolderStatusTest, ADocumentWithoutRootLeavesTheRecordAndTheFileAlone) {
  XmlDocument rootless = CreateIndexDocument(kXmlNotCompatibleMessage);
  Status status;
  status.fill(7);
  EXPECT_FALSE(ComputeFolderStatus(rootless, status));
  EXPECT_FALSE(ComputeFolderStatus(XmlDocument(), status));
  EXPECT_EQ(CacheFolderStatus(rootless, status, mailbox_ + "/Inbox"), 0u);
  Status sevens;
  sevens.fill(7);
  EXPECT_EQ(status, sevens);
  EXPECT_FALSE(Exists(mailbox_ + "/Inbox/_FOLDER.DAT"));
}

TEST_F(FolderStatusTest, TheCacheFileIsNamedFromTheFolderNames) {
  Status status;
  for (size_t i = 0; i < status.size(); ++i) status[i] = static_cast<uint32_t>(i * 1000 + 1);

  EXPECT_EQ(::SetCachedStatus("PO", "box", "Inbox", status.data()), 1u);
  EXPECT_EQ(ReadFile(mailbox_ + "/Inbox/_FOLDER.DAT"), Bytes(status));
  // An empty folder name is the mailbox directory itself.
  EXPECT_EQ(::SetCachedStatus("PO", "box", "", status.data()), 1u);
  EXPECT_EQ(ReadFile(mailbox_ + "/_FOLDER.DAT"), Bytes(status));
  EXPECT_EQ(CachedStatusPath("PO", "box", "Sent/2024"),
            mail_root() + "\\PO\\MAILROOT\\box\\Sent/2024\\_FOLDER.DAT");

  // A folder that does not exist cannot take the file.
  EXPECT_EQ(::SetCachedStatus("PO", "box", "Missing", status.data()), 0u);
  EXPECT_FALSE(Exists(mailbox_ + "/Missing"));
}

TEST_F(FolderStatusTest, AMissingOrEmptyCacheLeavesTheRecordUntouched) {
  Status record;
  record.fill(0x05050505);
  const Status fives = record;
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", record.data()), 0u);
  EXPECT_EQ(record, fives);

  WriteFile(mailbox_ + "/Inbox/_FOLDER.DAT", "");
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", record.data()), 0u);
  EXPECT_EQ(record, fives);

  // A short file fills what it has; the rest of the record stays.
  WriteFile(mailbox_ + "/Inbox/_FOLDER.DAT", std::string("\x02\x00\x00\x00\x03", 5));
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", record.data()), 1u);
  EXPECT_EQ(record[0], 2u);
  EXPECT_EQ(record[1], 0x05050503u);
  EXPECT_EQ(record[2], 0x05050505u);

  // A longer file gives its first 52 bytes and never writes past the record.
  struct {
    Status status;
    uint32_t guard = 0x12345678;
  } guarded{};
  WriteFile(mailbox_ + "/Inbox/_FOLDER.DAT", std::string(200, '\x01'));
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", guarded.status.data()), 1u);
  EXPECT_EQ(guarded.status[12], 0x01010101u);
  EXPECT_EQ(guarded.guard, 0x12345678u);
}

}  // namespace
}  // namespace qx
