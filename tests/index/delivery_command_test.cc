// storeadm's delivery commands run as real processes against a test store.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "index/index_document.h"
#include "index/index_elements.h"
#include "index/index_format.h"
#include "support/test_store.h"

namespace qx {
namespace {

class DeliveryCommandTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    program_ = std::string(QX_BINARY_DIR) + "/storeadm";
    if (!Exists(program_)) GTEST_SKIP() << "storeadm is not built";
    mailbox_ = mail_root() + "/PO/MAILROOT/box";
    folder_ = mailbox_ + "/Inbox";
    MakeDirs(folder_);
  }

  // Runs storeadm with `arguments`; its standard output lines.
  std::vector<std::string> Run(const std::string& arguments, int* exit_code) {
    std::vector<std::string> lines;
    FILE* pipe = popen((program_ + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return lines;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
      std::string text = line;
      if (!text.empty() && text.back() == '\n') text.pop_back();
      lines.push_back(text);
    }
    const int status = pclose(pipe);
    *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return lines;
  }

  std::vector<std::string> IndexedIds() const {
    XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
    std::vector<std::string> ids;
    if (!LoadDocumentFile(document, folder_ + "/_index.xml")) return ids;
    for (pugi::xml_node entry : document.DocumentElement().children(kEntryElement)) {
      ids.push_back(AttributeValue(entry, kIdAttribute));
    }
    return ids;
  }

  std::string program_;
  std::string mailbox_;
  std::string folder_;
};

TEST_F(DeliveryCommandTest, DeliverFlagAndExpungeKeepFilesAndIndexTogether) {
  const std::string first = "From: a@example.com\r\nSubject: one\r\n\r\nfirst\r\n";
  const std::string second = "From: b@example.com\r\nSubject: two\r\n\r\nsecond\r\n";
  WriteFile(root() + "/one.eml", first);
  WriteFile(root() + "/two.eml", second);

  int code = -1;
  std::vector<std::string> names =
      Run("deliver PO box Inbox " + root() + "/one.eml " + root() + "/two.eml", &code);
  ASSERT_EQ(code, 0);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_NE(names[0], names[1]);
  EXPECT_EQ(ReadFile(folder_ + "/" + names[0]), first);
  EXPECT_EQ(ReadFile(folder_ + "/" + names[1]), second);
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(IndexedIds(), expected);
  EXPECT_TRUE(Exists(mailbox_ + "/_1.NEW"));

  EXPECT_EQ(Run("deliver PO box Inbox " + root() + "/one.eml", &code).size(), 1u);
  EXPECT_TRUE(Exists(mailbox_ + "/_2.NEW"));
  EXPECT_EQ(IndexedIds().size(), 3u);
  EXPECT_EQ(Run("deliver PO box Inbox " + root() + "/missing.eml", &code).size(), 0u);
  EXPECT_NE(code, 0);
  EXPECT_EQ(IndexedIds().size(), 3u);

  EXPECT_EQ(Run("flags PO box Inbox " + names[0] + " '+\\DELETED'", &code),
            std::vector<std::string>{names[0] + " \\RECENT \\DELETED"});
  EXPECT_EQ(code, 0);
  Run("flags PO box Inbox nothere.MAI '+\\SEEN'", &code);
  EXPECT_NE(code, 0);

  std::vector<std::string> output = Run("expunge PO box Inbox", &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(output, (std::vector<std::string>{names[0], "1 message(s) expunged"}));
  EXPECT_FALSE(Exists(folder_ + "/" + names[0]));
  EXPECT_EQ(ReadFile(folder_ + "/" + names[1]), second);
  EXPECT_EQ(IndexedIds().size(), 2u);
}

}  // namespace
}  // namespace qx
