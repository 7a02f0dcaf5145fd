#include <cstdio>
#include <string>

#include "index/index_document.h"
#include "index/index_entry.h"
#include "support/test_store.h"

namespace qx {
namespace {

class StoreadmEntryTest : public test::StoreTest {
 protected:
  void SetUp() override {
    test::StoreTest::SetUp();
    program_ = std::string(QX_BINARY_DIR) + "/storeadm";
    if (!Exists(program_)) GTEST_SKIP() << "storeadm is not built";
    folder_ = root() + "/mail/PO/box/Inbox";
    MakeDirs(folder_);
  }

  // Standard output of storeadm with `arguments`, and its exit status.
  std::string Run(const std::string& arguments, int* status) {
    std::string output;
    FILE* pipe = popen((program_ + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    *status = pclose(pipe);
    return output;
  }

  std::string program_;
  std::string folder_;
};

TEST_F(StoreadmEntryTest, HeadersAndEntryShowWhatAScanWouldTakeWithoutChangingFiles) {
  const std::string v = std::to_string(FolderUidValidity(folder_));
  const std::string message =
      "From: Alice <a@x>\r\nSubject: Hi there\r\nX-UID: " + v + ".90\r\nX-Read: 1\r\n\r\nbody\r\n";
  WriteFile(folder_ + "/A.MAI", message);
  WriteFile(folder_ + "/_index.xml", "<BASEELEMENT LASTUID=\"41\"/>");

  int status = -1;
  std::string headers = Run("headers '" + folder_ + "/A.MAI'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(headers.find("subject:          Hi there\n"), std::string::npos) << headers;
  EXPECT_NE(headers.find("uid:              90\n"), std::string::npos) << headers;
  EXPECT_NE(headers.find("flag words:       \\SEEN\n"), std::string::npos) << headers;

  std::string entry = Run("entry '" + folder_ + "' A.MAI", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(entry.starts_with("<ELEMENT ID=\"A.MAI\" UID=\"42\"><MESSAGEDATE/>")) << entry;
  EXPECT_NE(entry.find("<FLAGSTATUS>\\SEEN</FLAGSTATUS>"), std::string::npos) << entry;
  EXPECT_NE(entry.find("folder last uid:   41 (from the folder's index)\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("X-UID rewrite:     X-UID: " + v + ".42\r\n"), std::string::npos) << entry;
  EXPECT_EQ(ReadFile(folder_ + "/A.MAI"), message);

  Run("entry '" + folder_ + "' MISSING.MAI", &status);
  EXPECT_NE(status, 0);
  Run("headers", &status);
  EXPECT_NE(status, 0);
}

}  // namespace
}  // namespace qx
