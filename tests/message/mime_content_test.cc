#include <unistd.h>

#include <filesystem>
#include <string>

#include "message/message_rewrite.h"
#include "message/mime_reader.h"
#include "message/mime_writer.h"
#include "message/q_encoding.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "support/forked_holder.h"
#include "support/test_store.h"

namespace qx {
namespace {

class MimeContentTest : public test::StoreTest {
 protected:
  // Messages from another program's test corpus (see data/README).
  static std::string CorpusMessage(const std::string& name) {
    return ReadFile(std::string(QX_SOURCE_DIR) + "/tests/message/data/" + name);
  }
  std::string Folder() const { return root() + "/folder"; }
  std::string Path(const std::string& name) const { return Folder() + "/" + name; }
  void Put(const std::string& name, const std::string& contents) { WriteFile(Path(name), contents); }

  std::string Content(const std::string& name, const char* property) {
    std::string value = "stale";
    EXPECT_EQ(ReadContentValue(Path(name), property, &value), 1u);
    return value;
  }
};

const char* const kAlternative =
    "From: a@example.org\r\n"
    "Content-Type: multipart/alternative;\r\n"
    "\tboundary=\"alt\"\r\n"
    "\r\n"
    "Preamble text.\r\n"
    "\r\n"
    "--alt\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "\r\n"
    "plain line\r\n"
    "--alt\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "<p>caf=C3=A9</p>\r\n"
    "--alt--\r\n";

TEST_F(MimeContentTest, CorpusMessagesGiveTheWantedPartAsStored) {
  for (const char* name : {"msg_01.txt", "msg_10.txt", "msg_15.txt", "msg_27.txt", "msg_41.txt"}) {
    Put(name, CorpusMessage(name));
  }
  // A single part that is not HTML gives its whole body to either property.
  const std::string body_01 = "\nHi,\n\nDo you like this message?\n\n-Me\n";
  EXPECT_EQ(Content("msg_01.txt", "PR_BODY"), body_01);
  EXPECT_EQ(Content("msg_01.txt", "PR_BODY_HTML"), body_01);

  // Quoted-printable stays encoded; the first text/plain part is the body.
  EXPECT_EQ(Content("msg_10.txt", "PR_BODY_HTML"),
            "=A1This is a Quoted Printable encoded message!\n\n");
  EXPECT_EQ(Content("msg_10.txt", "pr_body"), "This is a 7bit encoded message.\n\n");

  // An alternative part nested in a mixed message, under the same boundary.
  EXPECT_EQ(Content("msg_15.txt", "PR_BODY"), "Some removed test. \n\n");
  EXPECT_EQ(Content("msg_15.txt", "PR_BODY_HTML"),
            "<HTML>\n<HEAD>\n<TITLE>Some removed HTML</TITLE>\n</HEAD>\n<BODY>\nSome removed "
            "text.\n</BODY>\n</HTML>\n\n\n");
  EXPECT_EQ(Content("msg_15.txt", "PR_BNP_vCalendar"), "");

  // The folded subject keeps the tabs that start its continuation lines.
  EXPECT_EQ(Content("msg_27.txt", "PR_SUBJECT"),
            "bug demonstration\t12345678911234567892123456789312345678941234567895123456789612345678"
            "971234567898112345678911234567892123456789112345678911234567892123456789\tmore text");

  // No boundary anywhere: nothing is found.
  EXPECT_EQ(Content("msg_41.txt", "PR_BODY_HTML"), "");

  Put("alt.MAI", kAlternative);
  EXPECT_EQ(Content("alt.MAI", "PR_BODY_HTML"), "<p>caf=C3=A9</p>\r\n");
  EXPECT_EQ(Content("alt.MAI", "PR_BODY"), "plain line\r\n");
  EXPECT_EQ(Content("missing.MAI", "PR_BODY"), "");
}

TEST_F(MimeContentTest, HeaderValuesAndParameters) {
  Put("h.MAI",
      "X-Other: 1\r\nsubject:   \tTabbed\r\n  two\r\n\tthree\r\nFrom: a\r\n\r\nSubject: body\r\n");
  std::string value;
  ASSERT_EQ(ReadHeaderValue(Path("h.MAI"), "Subject", &value, 1024), 1u);
  EXPECT_EQ(value, "\tTabbed  two\tthree");
  ASSERT_EQ(ReadHeaderValue(Path("h.MAI"), "Subject", &value, 5), 1u);
  EXPECT_EQ(value, "\tTab");
  EXPECT_EQ(ReadHeaderValue(Path("h.MAI"), "Date", &value, 1024), 0u);
  EXPECT_EQ(ReadHeaderValue(Path("none.MAI"), "Subject", &value, 1024), 0u);

  struct Case {
    const char* line;
    const char* value;  // null: none
  };
  const Case cases[] = {
      {"Content-Type: multipart/mixed; boundary=\"  b1 x\"; charset=a", "b1 x"},
      {"\tBOUNDARY = plain;x", "plain"},
      {"X-Boundary: no; boundary=second", "second"},
      {"boundary=\"unclosed", "unclosed"},
      {"boundary=tab\tafter", "tab"},
      {"Content-Type: text/plain", nullptr},
      {"boundary", nullptr},
  };
  for (const Case& c : cases) {
    std::optional<std::string> found = GetHeaderParameter(c.line, "boundary");
    if (c.value == nullptr) {
      EXPECT_FALSE(found) << c.line;
    } else {
      EXPECT_EQ(found.value_or("<none>"), c.value) << c.line;
    }
  }
}

TEST_F(MimeContentTest, QEncodingUsesTheThresholdOf129AndKeepsBlanks) {
  EXPECT_EQ(QEncodeWord("abc"), "abc");
  EXPECT_EQ(QEncodeWord("caf\xE9 au_lait=?"), "=?UTF-8?Q?caf=E9 au=5Flait=3D=3F?=");
  EXPECT_EQ(QEncodeWord("only \x80 here"), "only \x80 here");
  EXPECT_EQ(QEncodeWord("\x81"), "=?UTF-8?Q?=81?=");
  EXPECT_EQ(QEncodeWord(std::string("\xFFnul\0", 5)), "=?UTF-8?Q?=FFnul=00?=");

  char out[6];
  const unsigned char bytes[] = {'a', 'b', 0xE9, 'c'};
  EXPECT_EQ(QEncode(bytes, 3, out, sizeof out), 1u);
  EXPECT_STREQ(out, "ab=E9");
  EXPECT_EQ(QEncode(bytes, 4, out, sizeof out), 0u);
  EXPECT_STREQ(out, "ab=E9");
  EXPECT_EQ(QEncode(bytes, 3, out, 5), 0u);
  EXPECT_STREQ(out, "ab");  // an escape is never split
}

TEST_F(MimeContentTest, ACalendarTextMakesASinglePartMessageMultipartWithTheOldBodyFirst) {
  Put("msg.MAI", CorpusMessage("msg_01.txt"));
  ASSERT_TRUE(WriteContentValue(Folder(), "msg.MAI", "vcalendar", "BEGIN:VCALENDAR\r\nEND:VCALENDAR"));
  const std::string boundary = "------------677C251E373B0A";
  const std::string expected =
      "Return-Path: <bbb@zzz.org>\r\nDelivered-To: bbb@zzz.org\r\n"
      "Received: by mail.zzz.org (Postfix, from userid 889)\r\n"
      "\tid 27CEAD38CC; Fri,  4 May 2001 14:05:44 -0400 (EDT)\r\nMIME-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n"
      "Message-ID: <15090.61304.110929.45684@aaa.zzz.org>\r\nFrom: bbb@ddd.com (John X. Doe)\r\n"
      "To: bbb@zzz.org\r\nSubject: This is a test message\r\n"
      "Date: Fri, 4 May 2001 14:05:44 -0400\r\n"
      "Content-Type: multipart/mixed;\r\n\tboundary=\"----------677C251E373B0A\"\r\n\r\n" +
      boundary + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
      "\r\nHi,\r\n\r\nDo you like this message?\r\n\r\n-Me\r\n" +
      boundary + "\r\nContent-Type: text/calendar; charset=utf-8\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
      "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n" + boundary + "--\r\n";
  EXPECT_EQ(ReadFile(Path("msg.MAI")), expected);
  EXPECT_FALSE(Exists(Path("_msg.MAI")));
  EXPECT_EQ(Content("msg.MAI", "PR_BNP_vCalendar"), "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");

  // Written again, the calendar part is replaced in place; the rest stays.
  ASSERT_TRUE(WriteContentValue(Folder(), "msg.MAI", "VCALENDAR", "NEW"));
  std::string second = expected;
  second.replace(second.find("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"), 32, "NEW\r\n");
  EXPECT_EQ(ReadFile(Path("msg.MAI")), second);
}

TEST_F(MimeContentTest, ABodyTextReplacesTheBodyOrTheFirstPlainPartQEncoded) {
  Put("single.MAI", "Subject: s\r\nContent-Type: text/plain\r\n\r\nold body\r\nmore\r\n");
  ASSERT_TRUE(WriteContentValue(Folder(), "single.MAI", "BODY", "new \xC3\xA9"));
  EXPECT_EQ(ReadFile(Path("single.MAI")),
            "Subject: s\r\nContent-Type: text/plain\r\n\r\n=?UTF-8?Q?new =C3=A9?=");

  Put("mixed.MAI", CorpusMessage("msg_10.txt"));
  ASSERT_TRUE(WriteContentValue(Folder(), "mixed.MAI", "BODY", "replaced"));
  const std::string written = ReadFile(Path("mixed.MAI"));
  EXPECT_NE(written.find("Content-Transfer-Encoding: 7bit\r\n\r\nreplaced\r\n--BOUNDARY\r\n"
                         "Content-Type: text/html"),
            std::string::npos)
      << written;
  EXPECT_EQ(written.find("This is a 7bit encoded message."), std::string::npos);
  EXPECT_NE(written.find("=A1This is a Quoted Printable encoded message!\r\n"), std::string::npos);
  EXPECT_EQ(Content("mixed.MAI", "PR_BODY"), "replaced\r\n");
}

TEST_F(MimeContentTest, ReadersTakeNoShareLockAndNeverWaitOnWhatIsNoMessage) {
  Put("held.MAI", kAlternative);
  {
    test::ForkedHolder holder([&] {
      return platform::File::Open(Path("held.MAI"), platform::Access::kReadWrite,
                                  platform::Disposition::kOpenExisting, platform::Sharing::kExclusive)
          .ReleaseToHandle() != 0;
    });
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(Content("held.MAI", "PR_BODY"), "plain line\r\n");
  }

  // A folder or a link to a device under a message's name reads as nothing.
  std::filesystem::create_directories(Path("dir.MAI"));
  std::filesystem::create_symlink("/dev/zero", Path("zero.MAI"));
  alarm(20);  // a reader that went on reading the device would hang the test
  std::string subject = "stale";
  EXPECT_EQ(ReadHeaderValue(Path("dir.MAI"), "Subject", &subject, 64), 0u);
  EXPECT_EQ(subject, "");
  EXPECT_EQ(ReadHeaderValue(Path("zero.MAI"), "Subject", &subject, 64), 0u);
  for (const char* name : {"dir.MAI", "zero.MAI"}) EXPECT_EQ(Content(name, "PR_BODY"), "") << name;
  alarm(0);
}

TEST_F(MimeContentTest, BadMessagesGiveTheDocumentedResultAndAreNeverHalfWritten) {
  // A boundary that never appears: reading finds nothing, writing keeps
  // every byte and puts the text at the end.
  const std::string lost =
      "Content-Type: multipart/mixed; boundary=\"zzz\"\r\n\r\nno parts here\r\n";
  Put("lost.MAI", lost);
  EXPECT_EQ(Content("lost.MAI", "PR_BODY"), "");
  ASSERT_TRUE(WriteContentValue(Folder(), "lost.MAI", "VCALENDAR", "CAL"));
  EXPECT_EQ(ReadFile(Path("lost.MAI")), lost + "CAL\r\n");

  // A base64 part cut short comes back as far as it goes, undecoded.
  Put("cut.MAI",
      "Content-Type: multipart/mixed; boundary=\"=_cut_\"\r\n\r\n--=_cut_\r\n"
      "Content-Type: text/plain\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\nVGhpcyBpcyBhIEJh");
  EXPECT_EQ(Content("cut.MAI", "PR_BODY"), "VGhpcyBpcyBhIEJh");

  // A 10 MB body is cut to the value buffer; rewriting keeps all of it.
  const std::string big_body(10 * 1024 * 1024, 'x');
  Put("big.MAI", "Subject: big\r\n\r\n" + big_body);
  EXPECT_EQ(Content("big.MAI", "PR_BODY"), big_body.substr(0, kContentValueLimit));
  ASSERT_TRUE(WriteContentValue(Folder(), "big.MAI", "VCALENDAR", "CAL"));
  EXPECT_NE(ReadFile(Path("big.MAI")).find(big_body + "\r\n------------677C251E373B0A\r\n"),
            std::string::npos);

  // A 3,000-byte header line: the reader sees its first 2047-byte piece; the
  // writer copies it whole.
  const std::string long_subject = "Subject: " + std::string(2991, 's');
  Put("long.MAI", long_subject + "\r\nX-After: 1\r\n\r\nbody\r\n");
  std::string subject;
  ASSERT_EQ(ReadHeaderValue(Path("long.MAI"), "Subject", &subject, 4096), 1u);
  EXPECT_EQ(subject, std::string(2047 - 9, 's'));
  ASSERT_TRUE(WriteContentValue(Folder(), "long.MAI", "BODY", "b"));
  EXPECT_EQ(ReadFile(Path("long.MAI")), long_subject + "\r\nX-After: 1\r\n\r\nb");

  // Binary garbage: some value, never more than the buffer.
  std::string garbage;
  for (int i = 0; i < 200000; ++i) garbage.push_back(static_cast<char>((i * 7919 + i / 13) & 0xFF));
  Put("garbage.MAI", garbage);
  for (const char* property : {"PR_BODY", "PR_BODY_HTML", "PR_BNP_vCalendar", "PR_SUBJECT"}) {
    EXPECT_LE(Content("garbage.MAI", property).size(), kContentValueLimit) << property;
  }

  // A failed write or swap leaves the message as it was and no copy behind.
  Put("keep.MAI", lost);
  for (platform::FaultOp op : {platform::FaultOp::kWrite, platform::FaultOp::kMove}) {
    platform::InjectFault(op, "_keep.MAI", 112);
    EXPECT_FALSE(WriteContentValue(Folder(), "keep.MAI", "BODY", "x"));
    platform::ClearFaults();
    EXPECT_EQ(ReadFile(Path("keep.MAI")), lost);
    EXPECT_FALSE(Exists(Path("_keep.MAI")));
  }
  EXPECT_FALSE(WriteContentValue(Folder(), "missing.MAI", "BODY", "x"));
  EXPECT_FALSE(Exists(Path("_missing.MAI")));
  EXPECT_FALSE(WriteContentValue(Folder(), "../keep.MAI", "BODY", "x"));
}

}  // namespace
}  // namespace qx
