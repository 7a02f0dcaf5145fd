// Command message files: the nine lines a Set writes, what a Get takes from
// lines other writers made, and the queue listing.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

class CommandMessageTest : public test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    queue_ = root() + "/queue";
    MakeDirs(queue_);
  }

  std::unique_ptr<COMMANDMESSAGE> Message(const char* id) {
    auto message = std::make_unique<COMMANDMESSAGE>();
    std::memset(message.get(), 0, sizeof *message);
    std::strcpy(message->directory, queue_.c_str());
    std::strcpy(message->message_id, id);
    return message;
  }

  std::string queue_;
};

TEST_F(CommandMessageTest, SetWritesNineLinesThatGetReadsBack) {
  auto written = Message("Q1.MAI");
  std::strcpy(written->recipients, "ann@example.com,bob@example.com");
  std::strcpy(written->server, "relay.example.com");
  std::strcpy(written->sender, "carol@example.com");
  written->retries = 3;
  written->next_send_time = 1700000123;
  written->time_acquired = -5;
  std::strcpy(written->priority, "High");
  std::strcpy(written->status, "Deferred");
  EXPECT_EQ(CommandMessageSet(written.get()), 1u);
  EXPECT_EQ(ReadFile(queue_ + "/Q1.MAI"),
            "Recipients=ann@example.com,bob@example.com\nServer=relay.example.com\n"
            "Sender=carol@example.com\nRetries=3\nNextSendTime=1700000123\nTimeAcquired=-5\n"
            "MessageID=Q1.MAI\nPriority=High\nStatus=Deferred\n");

  auto read = Message("q1.mai");  // the store's file names resolve without regard to case
  std::strcpy(read->server, "kept server");
  std::strcpy(read->domain_name, "kept domain");
  EXPECT_EQ(CommandMessageGet(read.get()), 1u);
  // What Set writes and Get does not read stays as the caller had it.
  std::strncpy(written->server, "kept server", sizeof written->server);
  std::strncpy(written->domain_name, "kept domain", sizeof written->domain_name);
  EXPECT_EQ(0, std::memcmp(read.get(), written.get(), sizeof *read));

}

TEST_F(CommandMessageTest, GetTakesEachKeyFromAnywhereInALine) {
  WriteFile(queue_ + "/M.MAI",
            "X-Status=Held\nRecipients=ann@example.com Sender=bob@example.com\n"
            "DomainName=example.org\nRetries=  -7 tries\nNextSendTime=99999999999\n"
            "TimeAcquired=soon\nPriority=Low\r\nSender=" + std::string(600, 's') + "\n\nStatus=Queued");
  auto message = Message("M.MAI");
  std::strcpy(message->status, "Old");
  EXPECT_EQ(CommandMessageGet(message.get()), 1u);
  EXPECT_STREQ(message->recipients, "ann@example.com Sender=bob@example.com");
  EXPECT_EQ(message->retries, -7);
  EXPECT_EQ(message->next_send_time, 2147483647);
  EXPECT_EQ(message->time_acquired, 0);
  EXPECT_EQ(std::string(message->sender), std::string(511, 's'));
  // The last line has no line feed, so it loses its last character.
  EXPECT_STREQ(message->status, "Queue");

  // Status counts only at the start of a line; the recipients line also
  // sets the sender when nothing later does.
  WriteFile(queue_ + "/N.MAI", "X-Status=Held\nRecipients=a@x Sender=b@y\n");
  auto other = Message("N.MAI");
  std::strcpy(other->status, "Old");
  EXPECT_EQ(CommandMessageGet(other.get()), 1u);
  EXPECT_STREQ(other->status, "Old");
  EXPECT_STREQ(other->sender, "b@y");

  EXPECT_EQ(CommandMessageGet(Message("NONE.MAI").get()), 0u);
}

TEST_F(CommandMessageTest, FindListsTheQueuesMessageFilesAndLongPathsTouchNothing) {
  auto message = Message("");
  EXPECT_EQ(CommandMessageFindFirst(message.get()), 0u);
  for (const char* name : {"b.mai", "A.MAI", "c.txt", "D.MAI.tmp"}) WriteFile(queue_ + "/" + name, "");
  ASSERT_EQ(CommandMessageFindFirst(message.get()), 1u);
  EXPECT_STREQ(message->message_id, "A.MAI");
  ASSERT_EQ(CommandMessageFindNext(message.get()), 1u);
  EXPECT_EQ(CommandMessageFindNext(message.get()), 0u);

  // Texts that do not fit the path buffers touch nothing.
  std::string directory = queue_;
  auto deep = Message("L.MAI");
  while (directory.size() < 1000) directory += "/" + std::string(100, 'e');
  directory.resize(1000);
  MakeDirs(directory);
  const std::string name = std::string(59, 'n') + ".MAI";
  std::strcpy(deep->directory, directory.c_str());
  std::strcpy(deep->message_id, name.c_str());
  EXPECT_EQ(CommandMessageSet(deep.get()), 0u);
  EXPECT_EQ(CommandMessageGet(deep.get()), 0u);
  EXPECT_FALSE(Exists(directory + "/" + name));
}

}  // namespace
}  // namespace qx
