#include "store/activity_file.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

TEST(ActivityFileTest, ParsesFieldsAndWritesThemBack) {
  ActivityEntry entry =
      ParseActivityEntry("MAIL1\tIMAP-4\tX-SELECT\t10.0.0.9\t51234\t1700000000\t/Inbox\t17\tS-1");
  EXPECT_EQ(entry.server, "MAIL1");
  EXPECT_EQ(entry.protocol, "IMAP-4");
  EXPECT_EQ(entry.state, "X-SELECT");
  EXPECT_EQ(entry.client_address, "10.0.0.9");
  EXPECT_EQ(entry.client_port, 51234);
  EXPECT_EQ(entry.written, 1700000000);
  EXPECT_EQ(entry.folder, "/Inbox");
  EXPECT_EQ(entry.connection, 17);
  EXPECT_EQ(entry.session, "S-1");
  EXPECT_EQ(FormatActivityEntry(entry),
            "MAIL1\tIMAP-4\tX-SELECT\t10.0.0.9\t51234\t1700000000\t/Inbox\t17\tS-1");

  // The last field runs to the end of the line and is held to 255 characters;
  // numbers are read as atoi reads them and written back as plain decimals.
  std::string long_session(300, 's');
  entry = ParseActivityEntry("A\tB\tC\tD\t0080x\t 12\t\t-3\t" + long_session + "\tmore");
  EXPECT_EQ(entry.client_port, 80);
  EXPECT_EQ(entry.written, 12);
  EXPECT_EQ(entry.connection, -3);
  EXPECT_EQ(entry.session, long_session.substr(0, 255));
  EXPECT_EQ(FormatActivityEntry(entry), "A\tB\tC\tD\t80\t12\t\t-3\t" + long_session.substr(0, 255));

  EXPECT_EQ(ParseActivityEntry("ONLY\tIMAP"),
            (ActivityEntry{"ONLY", "IMAP", "", "", 0, 0, "", 0, ""}));
  EXPECT_EQ(ParseActivityEntry("A\tB\tC\tD\t1\t2\tF\t3\tsess\twith\ttabs").session,
            "sess\twith\ttabs");
}

TEST(ActivityFileTest, SplitsLinesAsAFixedLineBufferReadsThem) {
  std::string over_long(2500, 'x');
  std::vector<std::string> lines = SplitActivityLines("one\n\ntwo\n" + over_long + "\nlast");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "one");
  EXPECT_EQ(lines[1], "two");
  EXPECT_EQ(lines[2].size(), 1023u);
  EXPECT_EQ(lines[3].size(), 1023u);
  EXPECT_EQ(lines[4].size(), 454u);
  EXPECT_EQ(lines[5], "last");
  EXPECT_TRUE(SplitActivityLines("").empty());

  ActivityEntry a = ParseActivityEntry("A\tIMAP\tX\tip\t1\t2\tInbox\t3\ts");
  EXPECT_EQ(FormatActivityFile({a, a}), FormatActivityEntry(a) + "\n" + FormatActivityEntry(a));
  EXPECT_EQ(FormatActivityFile({}), "");
}

TEST(ActivityFileTest, MatchesFoldersAndSelectedImapSessions) {
  EXPECT_TRUE(ActivityFolderMatches("/Inbox", "inbox"));
  EXPECT_TRUE(ActivityFolderMatches("\\/INBOX", "/inbox"));
  EXPECT_TRUE(ActivityFolderMatches("", "Sent Items"));
  EXPECT_TRUE(ActivityFolderMatches("Inbox", ""));
  EXPECT_TRUE(ActivityFolderMatches("Sent\\2024", "/sent\\2024"));
  EXPECT_FALSE(ActivityFolderMatches("Inbox", "Inbox2"));
  EXPECT_FALSE(ActivityFolderMatches("Sent/2024", "Sent\\2024"));
  EXPECT_FALSE(ActivityFolderMatches("/", "Inbox"));

  EXPECT_EQ(NotifyProtocol("IMAP-4-SSL"), "IMAP");
  EXPECT_EQ(NotifyProtocol("POP3"), "POP3");
  EXPECT_EQ(NotifyProtocol("-X"), "");

  auto entry = [](const char* protocol, const char* state, const char* folder) {
    return ActivityEntry{"S", protocol, state, "ip", 1, 2, folder, 3, "s"};
  };
  EXPECT_TRUE(WantsNotification(entry("IMAP-4", "X-SELECT", "Inbox"), "inbox", "commit"));
  EXPECT_FALSE(WantsNotification(entry("IMAP-4", "X-SELECT", "Inbox"), "inbox", "EXPUNGE"));
  EXPECT_FALSE(WantsNotification(entry("IMAP", "X-SELECT", "Inbox"), "Sent", "COMMIT"));
  EXPECT_TRUE(WantsNotification(entry("IMAP", "X-IDLE", "Inbox"), "Inbox", "EXPUNGE"));
  EXPECT_TRUE(WantsNotification(entry("POP3", "X-SELECT", ""), "Inbox", "EXPUNGE"));
}

TEST(ActivityFileTest, BuildsTheNotificationMessage) {
  ActivityEntry entry{"S", "IMAP", "X-SELECT", "ip", 1, 2, "Inbox", 42, "RUN-7"};
  EXPECT_EQ(NotificationMessage(entry, "COMMIT"), "[QX_NOTIFY]\t42\tRUN-7\tCOMMIT\r\n\r\n");
  EXPECT_EQ(NotificationMessage(entry, "A\r\n\r\nB"), "[QX_NOTIFY]\t42\tRUN-7\tA\r\n\r\nB");
  EXPECT_EQ(NotificationMessage(entry, "A\r\n"), "[QX_NOTIFY]\t42\tRUN-7\tA\r\n\r\n\r\n");
}

}  // namespace
}  // namespace qx
