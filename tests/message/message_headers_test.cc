#include "message/message_headers.h"

#include <sys/stat.h>

#include <chrono>
#include <random>
#include <vector>
#include <string>
#include <utility>

#include "message/message_line_reader.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/text_compare.h"
#include "support/test_store.h"

namespace qx {
namespace {

class MessageHeadersTest : public test::StoreTest {
 protected:
  MessageHeaders Read(const std::string& contents, HeaderReadOptions options = {},
                      uint32_t uid_validity = 0) {
    const std::string path = root() + "/folder/TEST.MAI";
    WriteFile(path, contents);
    MessageHeaders record;
    record.uid_validity = uid_validity;
    EXPECT_EQ(ReadMessageHeaders(path, &record, options), 1u);
    return record;
  }
};

TEST_F(MessageHeadersTest, ReadsTheIndexValuesOfFoldedCrLfAndLfOnlyMessages) {
  const std::string headers =
      "Received: from mx.example.org by store; Tue, 01 Mar 2011 09:00:00 +0000\r\n"
      "From:   \tAlice <alice@example.org>\r\n"
      "To: bob@example.org,\r\n"
      "\tcarol@example.org\r\n"
      "CC: dave@example.org,\r\n"
      " erin@example.org\r\n"
      "Subject: Quarterly\r\n"
      " report\r\n"
      "Date: Tue, 01 Mar 2011 12:00:00 +0100\r\n"
      "Message-ID: <1@example.org>\r\n"
      "Reply-To: replies@example.org\r\n"
      "X-QX-Class: IPM.Note\r\n"
      "X-Priority: 1 (Highest)\r\n"
      "X-UID: 77.12\r\n";
  MessageHeaders r = Read(headers + "\r\nBody line\r\n\r\nmore\r\n", {}, 77);

  EXPECT_EQ(r.sender, "Alice <alice@example.org>");
  EXPECT_EQ(r.recipients, "bob@example.org,carol@example.org");
  EXPECT_EQ(r.copy_recipients, "dave@example.org,erin@example.org");
  EXPECT_EQ(r.subject, "Quarterlyreport");
  EXPECT_EQ(r.message_date, "2011-03-01T11:00:00");
  EXPECT_EQ(r.received_date, "2011-03-01T09:00:00");
  EXPECT_EQ(r.message_id, "<1@example.org>");
  EXPECT_EQ(r.reply_address, "replies@example.org");
  EXPECT_EQ(r.message_class, "IPM.Note");
  EXPECT_EQ(r.importance, 1);
  EXPECT_EQ(r.uid, 12u);
  EXPECT_EQ(r.read, 0u);
  EXPECT_EQ(r.has_attachments, 0u);
  EXPECT_EQ(r.flag_words, "");
  // Cut before the first empty line: the last header loses its CR LF.
  EXPECT_EQ(r.header_text, headers.substr(0, headers.size() - 2));

  platform::FileTimes times;
  ASSERT_TRUE(platform::GetFileTimes(root() + "/folder/TEST.MAI", &times));
  EXPECT_EQ(r.modified_stamp, platform::DosStampFromFileTime(times.last_write));
  EXPECT_NE(r.modified_stamp, 0u);

  // LF-only lines are read the same, and the header text is kept whole.
  const std::string lf_headers = "From: a@x\nTo: b@x,\n c@x\nSubject: lf\n\n";
  MessageHeaders lf = Read(lf_headers + "body\n");
  EXPECT_EQ(lf.sender, "a@x");
  EXPECT_EQ(lf.recipients, "b@x,c@x");
  EXPECT_EQ(lf.subject, "lf");
  EXPECT_EQ(lf.header_text, lf_headers);
}

TEST_F(MessageHeadersTest, SenderComesFromTheLastFromLineOrAnEarlierSender) {
  EXPECT_EQ(Read("From: first@x\r\nFrom: second@x\r\n\r\n").sender, "second@x");
  EXPECT_EQ(Read("Sender: agent@x\r\n folded\r\nTo: a@x\r\n\r\n").sender, "agent@xfolded");
  EXPECT_EQ(Read("Sender: agent@x\r\nFrom: owner@x\r\n\r\n").sender, "owner@x");
  // A Sender: after From: is ignored, and so is its folded line.
  EXPECT_EQ(Read("From: owner@x\r\nSender: agent@x\r\n tail\r\n\r\n").sender, "owner@x");
  EXPECT_EQ(Read("To: a@x\r\nSubject: none\r\n\r\n").sender, "");
  MessageHeaders cut = Read("From: " + std::string(600, 'a') + "\r\n\r\n");
  EXPECT_EQ(cut.sender.size(), kSenderLimit);
}

TEST_F(MessageHeadersTest, ReceivedDateComesFromWhicheverLineIsFirst) {
  EXPECT_EQ(Read("Date: 01 Mar 2011 08:00:00 GMT\r\n"
                 "Received: by x; 02 Mar 2011 09:00:00 GMT\r\n\r\n").received_date,
            "2011-03-01T08:00:00");
  // A Received: line whose first physical line has no "; " supplies nothing,
  // even when its folded line has one.
  MessageHeaders folded = Read(
      "Received: from a by b\r\n\t; 05 Mar 2011 10:00:00 GMT\r\n"
      "Received: by c; 04 Mar 2011 10:00:00 GMT\r\n"
      "Date: 01 Mar 2011 08:00:00 GMT\r\n\r\n");
  EXPECT_EQ(folded.received_date, "2011-03-04T10:00:00");
  EXPECT_EQ(folded.message_date, "2011-03-01T08:00:00");
  // A date without seconds cannot be converted and leaves the fields empty.
  MessageHeaders no_seconds = Read("Date: 01 Mar 2011 12:00\r\n\r\n");
  EXPECT_EQ(no_seconds.message_date, "");
  EXPECT_EQ(no_seconds.received_date, "");
}

TEST_F(MessageHeadersTest, ReadStateTempFlagsPriorityAndUidFollowTheirOptions) {
  MessageHeaders seen = Read("x-read: 1\r\n\r\n");
  EXPECT_EQ(seen.read, 1u);
  EXPECT_EQ(seen.flag_words, "\\SEEN");

  HeaderReadOptions ignore;
  ignore.ignore_x_read = true;
  MessageHeaders ignored = Read("X-Read: 1\r\n\r\n", ignore);
  EXPECT_EQ(ignored.read, 0u);
  EXPECT_EQ(ignored.flag_words, "");

  EXPECT_EQ(Read("X-QXTempFlags: \\FLAGGED \\ANSWERED\r\nX-Read: 1\r\n\r\n").flag_words,
            "\\FLAGGED \\ANSWERED \\SEEN");
  // The temporary list replaces what X-Read added before it.
  EXPECT_EQ(Read("X-Read: 1\r\nX-QXTempFlags: \\DELETED\r\n\r\n").flag_words, "\\DELETED");

  // X-Priority gives the importance; missing, 0 or below gives 3.
  for (const auto& [priority, importance] :
       {std::pair<const char*, int>{"", 3}, {"X-Priority: 0\r\n", 3}, {"X-Priority: -2\r\n", 3},
        {"X-Priority: 1 (Highest)\r\n", 1}, {"X-Priority: 5\r\n", 5}}) {
    EXPECT_EQ(Read(std::string(priority) + "Subject: x\r\n\r\n").importance, importance) << priority;
  }

  EXPECT_EQ(Read("X-UID: 7\r\n\r\n", {}, 0).uid, 0u);
  EXPECT_EQ(Read("X-UID: 0.7\r\n\r\n", {}, 0).uid, 7u);
  EXPECT_EQ(Read("X-UID: 99.7\r\n\r\n", {}, 98).uid, 0u);
  HeaderReadOptions no_uid;
  no_uid.read_uid = false;
  EXPECT_EQ(Read("X-UID: 98.7\r\n\r\n", no_uid, 98).uid, 0u);

  // An unreadable file leaves the record alone, except for the cleared list.
  MessageHeaders record;
  record.flag_words = "\\SEEN";
  record.subject = "kept";
  HeaderReadOptions clear;
  clear.clear_flag_list = true;
  EXPECT_EQ(ReadMessageHeaders(root() + "/missing.MAI", &record, clear), 0u);
  EXPECT_EQ(record.flag_words, "");
  EXPECT_EQ(record.subject, "kept");
}

TEST_F(MessageHeadersTest, AttachmentsNeedAnAttachmentPartOrDisposition) {
  const std::string mixed = "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
  const std::string text_part = "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n";
  const std::string file_part =
      "--b\r\nContent-Type: application/pdf\r\ncontent-disposition: ATTACHMENT; "
      "filename=\"a.pdf\"\r\n\r\nJVBERi0=\r\n--b--\r\n";
  EXPECT_EQ(Read(mixed + text_part + "--b--\r\n").has_attachments, 0u);
  EXPECT_EQ(Read(mixed + text_part + file_part).has_attachments, 1u);

  // A size the caller learnt before the file grew ends no read early: the
  // part 30 KB in is still found, and an exact size finds it too.
  const std::string long_part = "--b\r\nContent-Type: text/plain\r\n\r\n" + std::string(30000, 't') + "\r\n";
  const std::string grown = mixed + long_part + file_part;
  for (int64_t size : {int64_t{100}, static_cast<int64_t>(grown.size())}) {
    HeaderReadOptions sized;
    sized.known_size = size;
    EXPECT_EQ(Read(grown, sized).has_attachments, 1u) << size;
  }

  HeaderReadOptions no_scan;
  no_scan.attachment_mode = 0;
  EXPECT_EQ(Read(mixed + text_part, no_scan).has_attachments, 1u);

  EXPECT_EQ(Read("Content-Type: application/pdf\r\n"
                 "Content-Disposition: attachment; filename=a.pdf\r\n\r\nJVBERi0=\r\n")
                .has_attachments,
            1u);
  EXPECT_EQ(Read("Content-Type: text/plain\r\n\r\nContent-Disposition: attachment\r\n")
                .has_attachments,
            0u);
}

// Where the piece-by-piece walk meets the attachment marker, as a byte
// offset of the file (npos when it never does), and the same for the search.
constexpr std::string_view kMarker = "Content-Disposition: attachment";

size_t WalkToMarker(const std::string& path, int skip_first) {
  platform::File file = platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  MessageLineReader reader(file, kHeaderPieceLimit);
  std::string_view line;
  size_t offset = 0;
  for (int i = 0; i < skip_first && reader.NextLine(&line); ++i) offset += line.size();
  while (reader.NextLine(&line)) {
    if (platform::StartsWithNoCase(line, kMarker)) return offset;
    offset += line.size();
  }
  return std::string::npos;
}

size_t SearchToMarker(const std::string& path, int skip_first, size_t file_size, int64_t known_size) {
  platform::File file = platform::File::Open(path, platform::Access::kRead, platform::Disposition::kOpenExisting);
  MessageLineReader reader(file, kHeaderPieceLimit, known_size);
  std::string_view line;
  for (int i = 0; i < skip_first && reader.NextLine(&line); ++i) {
  }
  if (!reader.SkipToPieceStartingWith(kMarker)) return std::string::npos;
  // The next piece must be the one the walk stopped at: where it starts
  // follows from the bytes left behind it.
  EXPECT_TRUE(reader.NextLine(&line));
  EXPECT_TRUE(platform::StartsWithNoCase(line, kMarker));
  size_t left = line.size();
  std::string_view block;
  while (reader.NextBlock(&block)) left += block.size();
  return file_size - left;
}

TEST_F(MessageHeadersTest, TheAttachmentSearchStopsWhereTheLineWalkDoes) {
  const std::string path = root() + "/folder/BODY.MAI";
  std::mt19937 random(19);
  auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const std::string cases[] = {"Content-Disposition: attachment", "CONTENT-DISPOSITION: ATTACHMENT; x",
                               "content-disposition: Attachment", "Content-Disposition: inline",
                               "Content-Disposition:attachment", "Content-Disposition: attachmen"};
  // Crafted: markers on and beside the 2047-byte grid of a long line, after
  // a bare CR, cut by the end of the file, and across the first and second
  // read boundaries (4 or 16 KB, then 64 KB more).
  std::vector<std::string> bodies = {
      std::string(2047, 'x') + cases[0], std::string(2046, 'x') + cases[0],
      std::string(4094, 'x') + cases[1] + "\n", std::string(4095, ':') + cases[0],
      "a\r" + cases[0] + "\r\n", "line\r\n" + std::string(kMarker.substr(0, 30)),
      "\n" + cases[2], std::string(2047 * 9, 'x') + cases[0], std::string(2047 * 9 + 1, 'x') + cases[0]};
  for (const size_t read_boundary : {4096, 16384, 4096 + 65536, 16384 + 65536}) {
    bodies.push_back(std::string(read_boundary - 10, 'y') + "\n" + cases[0]);
    bodies.push_back(std::string(read_boundary - 20, '\n') + cases[2] + "\n");
  }
  // Random: lines of every ending and length around the grid, markers in
  // all cases, near misses and colons in between.
  for (int n = 0; n < 400; ++n) {
    std::string body;
    const size_t target = n % 4 == 0 ? 70000 + below(40000) : below(20000);
    while (body.size() < target) {
      switch (below(6)) {
        case 0: body += cases[below(6)]; break;
        case 1: body += std::string(below(3) == 0 ? 2040 + below(20) : below(80), below(2) ? 'z' : ':'); break;
        case 2: body += below(2) ? "\r\n" : (below(2) ? "\n" : "\r"); break;
        default: body += "Content-Type: text/plain; charset=\"us-ascii\"\r\n"; break;
      }
      if (below(8) == 0) body.resize(body.size() - below(body.size() < 5 ? body.size() : 5));
    }
    bodies.push_back(body);
  }
  int found = 0;
  for (size_t i = 0; i < bodies.size(); ++i) {
    WriteFile(path, bodies[i]);
    const int skip = static_cast<int>(i % 3);
    const size_t walked = WalkToMarker(path, skip);
    found += walked != std::string::npos;
    const size_t size = bodies[i].size();
    ASSERT_EQ(SearchToMarker(path, skip, size, -1), walked) << "body " << i;
    ASSERT_EQ(SearchToMarker(path, skip, size, static_cast<int64_t>(size)), walked) << "body " << i;
  }
  EXPECT_GT(found, 100);  // the comparison is not only about absent markers
  EXPECT_LT(found, static_cast<int>(bodies.size()) - 50);
}

TEST_F(MessageHeadersTest, LongLinesAreReadInPiecesOf2047Bytes) {
  // The subject is cut to its field; the rest of the line comes back as a
  // line of its own, and the headers after it are still read.
  std::string subject = "Subject: " + std::string(3000, 's');
  MessageHeaders r = Read(subject + "\r\nFrom: after@x\r\n\r\n");
  EXPECT_EQ(r.subject, std::string(kSubjectLimit, 's'));
  EXPECT_EQ(r.sender, "after@x");

  // A piece that starts at byte 2047 of a line is taken as a line itself.
  std::string junk = "X-Junk: " + std::string(2047 - 8, 'j');
  EXPECT_EQ(Read(junk + "X-Priority: 2\r\n\r\n").importance, 2);
  EXPECT_EQ(Read(junk + "j" + "X-Priority: 2\r\n\r\n").importance, 3);
}

TEST_F(MessageHeadersTest, AFileEndingInsideTheHeaderBlockIsStillRead) {
  const std::string truncated = "From: a@x\r\nSubject: cut short\r\nContent-Type: multipart/mixed";
  MessageHeaders r = Read(truncated);
  EXPECT_EQ(r.sender, "a@x");
  EXPECT_EQ(r.subject, "cut short");
  EXPECT_EQ(r.header_text, truncated);
  EXPECT_EQ(r.has_attachments, 0u);
  EXPECT_EQ(Read("").header_text, "");
}

TEST_F(MessageHeadersTest, AMegabyteHeaderBlockIsReadInLinearTime) {
  std::string headers = "To: first@example.org\r\n";
  int folded = 0;
  while (headers.size() < (1u << 20)) {
    headers += "\tnext" + std::to_string(folded++) + "@example.org\r\n";
  }
  headers += "Subject: big\r\n\r\nbody\r\n";
  auto start = std::chrono::steady_clock::now();
  MessageHeaders r = Read(headers);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.subject, "big");
  EXPECT_TRUE(r.recipients.starts_with("first@example.orgnext0@example.org"));
  EXPECT_TRUE(r.recipients.ends_with("next" + std::to_string(folded - 1) + "@example.org"));
  EXPECT_EQ(r.header_text.size(), headers.size() - 10);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 3000);
}

}  // namespace
}  // namespace qx
