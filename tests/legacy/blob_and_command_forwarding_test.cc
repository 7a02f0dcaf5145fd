// The BLOB and command message functions while a remote administration host
// is chosen: the requests they send, what replies do to their records, and
// a whole transfer carried out by the host program as its own process.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "legacy/blob_transfer.h"
#include "qxstore.h"
#include "remote/base64.h"
#include "remote/connection_socket.h"
#include "remote/fake_remote_host.h"
#include "remote/forwarded_execution.h"
#include "remote/lzw.h"
#include "remote/remote_state.h"
#include "support/test_store.h"

namespace qx {
namespace {

const std::string kHosts =
    "HKEY_CURRENT_USER\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Administration\\Hosts\\";

template <class Record>
std::unique_ptr<Record> Zeroed() {
  auto record = std::make_unique<Record>();
  std::memset(record.get(), 0, sizeof(Record));
  return record;
}

template <class Record>
std::string Encoded(const Record& record) {
  return Base64Encode(LzwCompress(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&record), sizeof record)));
}

template <class Record>
std::span<const uint8_t> Bytes(const Record& record) {
  return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&record), sizeof record);
}

class ForwardedTransferTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    // The forwarding state is process-wide; start each test without a host.
    CloseRemoteSocket();
    Remote() = RemoteState{};
    bad_mail_ = root() + "/badmail";
    MakeDirs(bad_mail_);
    registry().SetString(test::kLibraryRootKey, "Bad Mail Directory", bad_mail_);
    ReloadLibrary();
  }

  void TearDown() override {
    CloseRemoteSocket();
    Remote() = RemoteState{};
    if (child_ > 0) {
      kill(child_, SIGTERM);
      int status = 0;
      waitpid(child_, &status, 0);
    }
    StoreTest::TearDown();
  }

  void UseHost(const std::string& name, uint16_t port, const std::string& credentials) {
    registry().SetString(kHosts + name, "Address", "127.0.0.1");
    registry().SetDword(kHosts + name, "Port", port);
    registry().SetString(kHosts + name, "Credentials", credentials);
    registry().Save();
    SetCurrentHost(name.c_str());
  }

  // Runs the host program on a free port as one of the server's own
  // programs, so it carries the calls out itself; false when it is not built.
  bool StartHostProgram() {
    std::string binary = std::string(QX_BINARY_DIR) + "/qxradms";
    if (access(binary.c_str(), X_OK) != 0) return false;
    std::string secret_file = root() + "/secret";
    WriteFile(secret_file, "open sesame\n");
    int out[2];
    if (pipe(out) != 0) return false;
    child_ = fork();
    if (child_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      unsetenv("QXSTORE_PROGRAM");
      execl(binary.c_str(), "qxradms", "--address", "127.0.0.1", "--port", "0",
            "--credentials-file", secret_file.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    pollfd entry{out[0], POLLIN, 0};
    while (poll(&entry, 1, 10000) == 1 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    size_t colon = line.rfind(':');
    if (colon == std::string::npos) return false;
    UseHost("Radms", static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1)), "open sesame");
    return true;
  }

  std::string bad_mail_;
  pid_t child_ = 0;
};

TEST_F(ForwardedTransferTest, ChunkReadIsTheHostsAndTouchesNoLocalFile) {
  test::FakeRemoteHost host;
  ASSERT_TRUE(host.listening());
  UseHost("Lab", host.port(), "s3cret");
  WriteFile(bad_mail_ + "/local.MAI", "local bytes");
  auto blob = Zeroed<BLOBRECORD>();
  std::strcpy(blob->path, (bad_mail_ + "/local.MAI").c_str());
  const std::string sent = Encoded(*blob);
  auto answer = Zeroed<BLOBRECORD>();
  std::strcpy(answer->path, "host path");
  std::memcpy(answer->data, "from the host", 13);
  answer->length = 13;
  host.SetExecHandler([&](const std::string& request) {
    return ExecuteForwardedRequest(request, [&](const ForwardedCall& call, void* p1, void* p2) {
      EXPECT_STREQ(call.function_text, "BLOBGetNextChunk");
      EXPECT_EQ(p2, nullptr);
      std::memcpy(p1, answer.get(), sizeof *answer);
      return 1u;
    });
  });
  RestartBlobRead(BlobFamily::kBadMail);

  EXPECT_EQ(BLOBGetNextChunk(blob.get()), 1u);
  EXPECT_EQ(0, std::memcmp(blob.get(), answer.get(), sizeof *answer));
  EXPECT_EQ(BlobReadOffset(BlobFamily::kBadMail), 0);
  EXPECT_EQ(host.Messages().back().text,
            "<DATA><METHOD>EXEC</METHOD><FUNCTION>BLOBGetNextChunk</FUNCTION><PARAMETERS>"
            "<PARAMETER1 SIZE=9220>" + sent + "</PARAMETER1></PARAMETERS></DATA>");

  // Write calls copy nothing back, even when the reply carries a record.
  host.SetExecHandler([&](const std::string&) {
    return BuildForwardedReply(1, 1, Bytes(*answer));
  });
  auto written = Zeroed<MESSAGEBLOBRECORD>();
  std::strcpy(written->postoffice, "PO");
  std::strcpy(written->mailbox, "MB");
  std::strcpy(written->folder, "\\");
  std::strcpy(written->file, "W.MAI");
  written->length = 3;
  MakeDirs(mail_root() + "/PO/MAILROOT/MB");
  EXPECT_EQ(MessageItemBLOBWriteFirstChunk(written.get()), 1u);
  EXPECT_STREQ(written->file, "W.MAI");
  EXPECT_FALSE(Exists(mail_root() + "/PO/MAILROOT/MB/W.MAI"));
  EXPECT_NE(host.Messages().back().text.find("<FUNCTION>MessageItemBLOBWriteFirstChunk</FUNCTION>"
                                             "<PARAMETERS><PARAMETER1 SIZE=9604>"),
            std::string::npos);

  // CommandMessageGet takes the host's record back whole.
  auto message = Zeroed<COMMANDMESSAGE>();
  std::strcpy(message->directory, "/queue");
  std::strcpy(message->message_id, "Q.MAI");
  auto queued = Zeroed<COMMANDMESSAGE>();
  std::strcpy(queued->recipients, "ann@example.com");
  queued->retries = 4;
  host.SetExecHandler([&](const std::string& request) {
    EXPECT_NE(request.find("<FUNCTION>CommandMessageGet</FUNCTION><PARAMETERS>"
                           "<PARAMETER1 SIZE=26176>" + Encoded(*message) + "</PARAMETER1>"),
              std::string::npos);
    return BuildForwardedReply(1, 1, Bytes(*queued));
  });
  EXPECT_EQ(CommandMessageGet(message.get()), 1u);
  EXPECT_EQ(0, std::memcmp(message.get(), queued.get(), sizeof *queued));
}

TEST_F(ForwardedTransferTest, HostProgramCarriesOutWholeTransfers) {
  if (!StartHostProgram()) GTEST_SKIP() << "qxradms is not built";
  std::string content(20000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  WriteFile(bad_mail_ + "/big.MAI", content);
  auto blob = Zeroed<BLOBRECORD>();
  std::strcpy(blob->path, (bad_mail_ + "/big.MAI").c_str());
  std::string read;
  std::string lengths;
  for (uint32_t more = BLOBGetFirstChunk(blob.get()); more != 0;
       more = BLOBGetNextChunk(blob.get())) {
    read.append(reinterpret_cast<char*>(blob->data), blob->length);
    lengths += std::to_string(blob->length) + " ";
  }
  EXPECT_EQ(lengths, "8192 8192 3616 ");
  EXPECT_EQ(read, content);
  // The offsets the read moved are the host's, not this process's.
  EXPECT_EQ(BlobReadOffset(BlobFamily::kBadMail), 0);

  // The host's guard refuses as the local one does.
  std::strcpy(blob->path, (bad_mail_ + "/../big.MAI").c_str());
  EXPECT_EQ(BLOBGetFirstChunk(blob.get()), 0u);

  const std::string queue = root() + "/queue";
  MakeDirs(queue);
  auto message = Zeroed<COMMANDMESSAGE>();
  std::strcpy(message->directory, queue.c_str());
  std::strcpy(message->message_id, "R.MAI");
  std::strcpy(message->sender, "carol@example.com");
  std::strcpy(message->status, "Ready");
  EXPECT_EQ(CommandMessageSet(message.get()), 1u);
  EXPECT_NE(ReadFile(queue + "/R.MAI").find("Sender=carol@example.com\n"), std::string::npos);
  auto found = Zeroed<COMMANDMESSAGE>();
  std::strcpy(found->directory, queue.c_str());
  ASSERT_EQ(CommandMessageFindFirst(found.get()), 1u);
  EXPECT_STREQ(found->message_id, "R.MAI");
  ASSERT_EQ(CommandMessageGet(found.get()), 1u);
  EXPECT_STREQ(found->sender, "carol@example.com");
  EXPECT_STREQ(found->status, "Ready");
  EXPECT_EQ(CommandMessageFindNext(found.get()), 0u);
}

}  // namespace
}  // namespace qx
