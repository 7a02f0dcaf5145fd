#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "index/index_save.h"
#include "index/index_stamp.h"
#include "index/store_index.h"
#include "platform/file.h"
#include "support/mail_folder_test.h"

namespace qx {
namespace {

class IndexSaveKillTest : public test::MailFolderTest {
 protected:
  // A document of `count` message-like entries, large enough that writing
  // it takes a few milliseconds.
  static XmlDocument Index(int count, const std::string& flags) {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    EXPECT_TRUE(InitializeIndexDocument(document));
    pugi::xml_node root = document.DocumentElement();
    for (int i = 0; i < count; ++i) {
      pugi::xml_node entry = AppendElement(root, kEntryElement);
      SetAttribute(entry, kIdAttribute, std::to_string(100000 + i) + ".MAI");
      SetAttribute(entry, kUidAttribute, std::to_string(i + 1));
      SetChildText(entry, kFlagStatusElement, flags);
      SetChildText(entry, kSubjectElement,
                   "A subject line that makes the entry longer " + std::to_string(i));
      SetChildText(entry, kSizeElement, std::to_string(1000 + i));
    }
    SetDocumentLastUid(document, static_cast<uint32_t>(count));
    return document;
  }
};

// Saves the two documents in turn, for ever.
[[noreturn]] void SaveForEver(const XmlDocument& first, const XmlDocument& second, int ready_fd) {
  StoreIndex* index = CreateStoreIndex();
  CreateStoreIndexMutex(index);
  SetStoreIndexNames(index, "PO", "box", "Inbox");
  SetStoreIndexPaths(index);
  char byte = 1;
  if (write(ready_fd, &byte, 1) != 1) _exit(2);
  for (bool use_first = true;; use_first = !use_first) {
    HoldDocument(index, use_first ? first : second);
    index->index_stamp = FolderIndexStamp(index->folder_directory, kFolderTypeMail);
    StoreIndex_Save(index, kSavePlain);
  }
}

TEST_F(IndexSaveKillTest, AWriterKilledAtAnyMomentLeavesAWholeIndex) {
  constexpr int kSmall = 6000;
  constexpr int kLarge = 6500;
  const XmlDocument small = Index(kSmall, "\\RECENT");
  const XmlDocument large = Index(kLarge, "\\SEEN \\ANSWERED");
  const std::string index_path = Path("_index.xml");
  const std::string block_path = Path("_index.blk");
  WriteFile(index_path, small.Xml());

  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delay_us(0, 20000);
  int killed_inside_a_save = 0;
  constexpr int kRounds = 40;
  for (int round = 0; round < kRounds; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) SaveForEver(small, large, ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    close(ready[1]);
    usleep(static_cast<useconds_t>(delay_us(random)));
    // Every other round waits for a save under way, so that a loaded
    // machine still has many kills land inside one.
    for (int polls = 0; round % 2 == 1 && polls < 20000 && !Exists(block_path); ++polls) usleep(50);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    XmlDocument on_disk = CreateIndexDocument(kXmlNotCompatibleMessage);
    ASSERT_TRUE(LoadDocumentFile(on_disk, index_path)) << "round " << round;
    const std::string text = ReadFile(index_path);
    ASSERT_TRUE(text == small.Xml() || text == large.Xml()) << "round " << round;

    // The block is held only while an index file is being written, so a
    // block left behind means the writer died inside a save.
    if (Exists(block_path)) {
      ++killed_inside_a_save;
      ASSERT_TRUE(platform::DeleteFile(block_path));
    }
  }
  RecordProperty("killed_inside_a_save", killed_inside_a_save);
  EXPECT_GE(killed_inside_a_save, kRounds / 2);

  // The folder is usable afterwards: a save goes through and reads back.
  StoreIndex* index = NewIndex();
  HoldDocument(index, large);
  index->index_stamp = FolderIndexStamp(index->folder_directory, kFolderTypeMail);
  EXPECT_EQ(StoreIndex_Save(index, kSavePlain), 1u);
  EXPECT_EQ(ReadFile(index_path), large.Xml());
}

}  // namespace
}  // namespace qx
