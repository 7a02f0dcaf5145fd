#include "message/message_uid.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "message/temp_flags.h"
#include "platform/errors.h"
#include "platform/fault_injection.h"
#include "support/test_store.h"

namespace qx {
namespace {

// A body that must survive every rewrite byte for byte: header-like lines,
// LF-only lines, bytes above 0x7F, NULs and a line far longer than 2047.
std::string HostileBody() {
  std::string body = "X-UID: 1.1\r\nX-QXTempFlags: \\SEEN\r\n\nlf only\n";
  body += std::string("\x00\xff\xe9\r\n", 5);
  body += std::string(5000, 'L') + "\r\n";
  for (int i = 0; i < 3000; ++i) body += "line " + std::to_string(i) + "\r\n";
  return body;
}

class MessageUidTest : public test::StoreTest {
 protected:
  void SetUp() override {
    setenv("QXSTORE_DIAG", "stdout", 1);  // the failure lines are checked
    test::StoreTest::SetUp();
    ForgetUidBrandingSetting();
    folder_ = root() + "/mail/PO/box/Inbox";
    MakeDirs(folder_);
  }
  void TearDown() override {
    platform::ClearFaults();
    ForgetUidBrandingSetting();
    test::StoreTest::TearDown();
  }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  void Put(const std::string& name, const std::string& contents) { WriteFile(Path(name), contents); }
  std::string Get(const std::string& name) const { return ReadFile(Path(name)); }
  ino_t Inode(const std::string& name) const {
    struct stat st {};
    ::stat(Path(name).c_str(), &st);
    return st.st_ino;
  }

  std::string folder_;
};

TEST_F(MessageUidTest, WriteMessageUidChangesOnlyTheUidLinesAndKeepsTheBody) {
  const std::string body = HostileBody();
  Put("A.MAI", "From: a@x\r\nX-UID: 5.1\r\nSubject: s\r\n\r\n" + body);
  EXPECT_EQ(WriteMessageUid(folder_, "A.MAI", 5, 42), 1u);
  EXPECT_EQ(Get("A.MAI"), "From: a@x\r\nX-UID: 5.42\r\nSubject: s\r\n\r\n" + body);

  Put("B.MAI", "From: a@x\nSubject: s\n\n" + body);
  EXPECT_EQ(WriteMessageUid(folder_, "B.MAI", 0, 9, "\\FLAGGED"), 1u);
  EXPECT_EQ(Get("B.MAI"), "From: a@x\nSubject: s\nX-UID: 9\r\nX-QXTempFlags: \\FLAGGED\r\n\n" + body);

  // An existing temporary list is kept, not doubled.
  Put("C.MAI", "X-QXTempFlags: \\SEEN\r\n\r\nbody");
  WriteMessageUid(folder_, "C.MAI", 3, 4, "\\DELETED");
  EXPECT_EQ(Get("C.MAI"), "X-QXTempFlags: \\SEEN\r\nX-UID: 3.4\r\n\r\nbody");

  EXPECT_FALSE(Exists(Path("_A.MAI")));
  EXPECT_FALSE(Exists(Path("_B.MAI")));
  EXPECT_FALSE(Exists(Path("_C.MAI")));
}

TEST_F(MessageUidTest, StripStoreHeadersDropsOnlyStoreLinesAndLeavesCleanFilesAlone) {
  const std::string body = HostileBody();
  Put("A.MAI", "x-uid: 5.1\r\nFrom: a@x\r\nX-QXTempFlags: \\SEEN\r\nX-UID: 5.2\r\n\r\n" + body);
  EXPECT_EQ(StripStoreHeaders(folder_, "A.MAI"), 1u);
  EXPECT_EQ(Get("A.MAI"), "From: a@x\r\n\r\n" + body);

  Put("B.MAI", "From: a@x\r\n\r\n" + body);
  ino_t before = Inode("B.MAI");
  EXPECT_EQ(StripStoreHeaders(folder_, "B.MAI"), 1u);
  EXPECT_EQ(Inode("B.MAI"), before);
  EXPECT_EQ(Get("B.MAI"), "From: a@x\r\n\r\n" + body);
  EXPECT_FALSE(Exists(Path("_B.MAI")));

  EXPECT_EQ(StripStoreHeaders(folder_, "MISSING.MAI"), 1u);
  EXPECT_FALSE(Exists(Path("MISSING.MAI")));

  // Temporary flags count only in the header block.
  Put("C.MAI", "From: a@x\r\nX-QXTempFlags: \\FLAGGED\r\n\r\nbody");
  Put("D.MAI", "From: a@x\r\n\r\nX-QXTempFlags: \\FLAGGED\r\n");
  EXPECT_EQ(HasTempFlags(folder_, "C.MAI"), 1u);
  EXPECT_EQ(HasTempFlags(folder_, "D.MAI"), 0u);
  EXPECT_EQ(HasTempFlags(folder_, "MISSING.MAI"), 0u);
}

TEST_F(MessageUidTest, AFailedRewriteLeavesTheMessageByteForByte) {
  const std::string original = "X-UID: 5.1\r\nX-QXTempFlags: \\SEEN\r\n\r\n" + HostileBody();
  Put("A.MAI", original);

  platform::InjectFault(platform::FaultOp::kOpen, "_A.MAI", platform::kErrorAccessDenied);
  testing::internal::CaptureStdout();
  EXPECT_EQ(WriteMessageUid(folder_, "A.MAI", 5, 9), 1u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not open message file for writing\r\n");
  EXPECT_EQ(Get("A.MAI"), original);

  platform::InjectFault(platform::FaultOp::kWrite, "_A.MAI", platform::kErrorDiskFull);
  StripStoreHeaders(folder_, "A.MAI");
  EXPECT_EQ(Get("A.MAI"), original);
  EXPECT_FALSE(Exists(Path("_A.MAI")));

  platform::InjectFault(platform::FaultOp::kMove, "A.MAI", platform::kErrorAccessDenied);
  WriteMessageUid(folder_, "A.MAI", 5, 9);
  EXPECT_EQ(Get("A.MAI"), original);
  EXPECT_FALSE(Exists(Path("_A.MAI")));

  testing::internal::CaptureStdout();
  WriteMessageUid(folder_, "GONE.MAI", 5, 9);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not open message file for input\r\n");
  EXPECT_FALSE(Exists(Path("GONE.MAI")));
}

TEST_F(MessageUidTest, WithUidBrandingOffNoFileIsTouched) {
  registry().SetDword(test::kLibraryRootKey, "UID Branding Enabled", 0);
  registry().Save();
  ForgetUidBrandingSetting();

  const std::string original = "X-UID: 5.1\r\nX-QXTempFlags: \\SEEN\r\n\r\nbody";
  Put("A.MAI", original);
  ino_t before = Inode("A.MAI");
  EXPECT_EQ(WriteMessageUid(folder_, "A.MAI", 5, 9), 1u);
  EXPECT_EQ(StripStoreHeaders(folder_, "A.MAI"), 1u);
  EXPECT_EQ(HasTempFlags(folder_, "A.MAI"), 0u);
  EXPECT_EQ(Get("A.MAI"), original);
  EXPECT_EQ(Inode("A.MAI"), before);
}

TEST_F(MessageUidTest, AReaderInAnotherProcessAlwaysFindsTheWholeMessage) {
  const std::string body = HostileBody();
  Put("A.MAI", "X-UID: 5.1\r\n\r\n" + body);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (uint32_t uid = 2; uid < 300; ++uid) WriteMessageUid(folder_, "A.MAI", 5, uid);
    _exit(0);
  }
  int reads = 0, broken = 0;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    std::string seen = Get("A.MAI");
    ++reads;
    if (seen.size() < body.size() || seen.compare(seen.size() - body.size(), body.size(), body) != 0 ||
        seen.rfind("X-UID: 5.", 0) != 0) {
      ++broken;
    }
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_GT(reads, 0);
  EXPECT_EQ(broken, 0);
  EXPECT_EQ(Get("A.MAI"), "X-UID: 5.299\r\n\r\n" + body);
}

}  // namespace
}  // namespace qx
