#include "index/folder_status.h"

#include <array>
#include <string>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "qxstore.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

using Status = std::array<uint32_t, kFolderStatusFields>;

class FolderStatusTest : public test::MailFolderTest {
 protected:
  static XmlDocument Document() {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(InitializeIndexDocument(document));
    return document;
  }
  static void AddEntry(const XmlDocument& document, const std::string& flags,
                       const std::string& read) {
    pugi::xml_node entry = AppendElement(document.DocumentElement(), kEntryElement);
    SetChildText(entry, kFlagStatusElement, flags);
    SetChildText(entry, kReadElement, read);
  }
  // Little-endian bytes of thirteen numbers, as other processes read them.
  static std::string Bytes(const Status& status) {
    std::string bytes;
    for (uint32_t value : status) {
      for (int shift = 0; shift < 32; shift += 8) {
        bytes += static_cast<char>((value >> shift) & 0xFF);
      }
    }
    return bytes;
  }
};

TEST_F(FolderStatusTest, CountsTheFlagsOfEveryEntryAndWritesTheExact52Bytes) {
  XmlDocument document = Document();
  AddEntry(document, "\\SEEN \\ANSWERED", "0");
  AddEntry(document, "\\RECENT", "0");
  AddEntry(document, "", "1");
  SetDocumentLastUid(document, 41);
  Status status;
  status.fill(0xAAAAAAAA);
  ASSERT_EQ(CacheFolderStatus(document, status, folder_), 1u);
  //                 0  del 2  ans flg mrk ent seen rec 9  10  uid 12
  const Status expected{0, 0, 0, 1, 0, 1, 3, 2, 1, 0, 0, 41, 0};
  EXPECT_EQ(status, expected);
  EXPECT_EQ(ReadFile(Path("_FOLDER.DAT")), Bytes(expected));
  Status read_back{};
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", read_back.data()), 1u);
  EXPECT_EQ(read_back, expected);

  // SetCachedStatus names the file from the folder names; an empty folder is the mailbox.
  for (size_t i = 0; i < status.size(); ++i) status[i] = static_cast<uint32_t>(i * 1000 + 1);
  EXPECT_EQ(::SetCachedStatus("PO", "box", "", status.data()), 1u);
  EXPECT_EQ(ReadFile(mailbox_ + "/_FOLDER.DAT"), Bytes(status));
  EXPECT_EQ(::SetCachedStatus("PO", "box", "Missing", status.data()), 0u);
}

TEST_F(FolderStatusTest, FlagWordsCountInAnyCaseWithinTheFirst255BytesAndNoRootWritesNothing) {
  XmlDocument document = Document();
  AddEntry(document, "\\deleted \\Flagged \\answered", "0");
  AddEntry(document, "\\DELETED", "0");
  AddEntry(document, std::string(252, 'x') + " \\SEEN", "0");  // past byte 255: never looked at
  AddEntry(document, "\\FLAGGED", "Yes");
  Status status{};
  ASSERT_TRUE(ComputeFolderStatus(document, status));
  EXPECT_EQ(status[kStatusDeleted], 2u);
  EXPECT_EQ(status[kStatusFlagged], 2u);
  EXPECT_EQ(status[kStatusAnswered], 1u);
  EXPECT_EQ(status[kStatusSeen], 0u);
  EXPECT_EQ(status[kStatusLastUid], 4u);  // without LASTUID: the number of entries

  EXPECT_EQ(CacheFolderStatus(CreateIndexDocument(kXmlNotCompatibleMessage), status, folder_), 0u);
  EXPECT_FALSE(Exists(Path("_FOLDER.DAT")));
}

TEST_F(FolderStatusTest, ACachedStatusFillsOnlyWhatTheFileHolds) {
  Status record;
  record.fill(0x05050505);
  const Status fives = record;
  Put("_FOLDER.DAT", "");
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", record.data()), 0u);
  EXPECT_EQ(record, fives);
  Put("_FOLDER.DAT", std::string("\x02\x00\x00\x00\x03", 5));
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", record.data()), 1u);
  EXPECT_EQ(record[1], 0x05050503u);

  // A longer file gives its first 52 bytes and never writes past the record.
  struct {
    Status status;
    uint32_t guard = 0x12345678;
  } guarded{};
  Put("_FOLDER.DAT", std::string(200, '\x01'));
  EXPECT_EQ(::GetCachedStatus("PO", "box", "Inbox", guarded.status.data()), 1u);
  EXPECT_EQ(guarded.status[12], 0x01010101u);
  EXPECT_EQ(guarded.guard, 0x12345678u);
}

}  // namespace
}  // namespace qx
