// The index element of an appointment message, and the vCalendar text in
// its decoded form: what is read from which header, in which order, and
// what odd input gives.

#include <gtest/gtest.h>

#include <string>

#include "frame/file_helpers.h"
#include "pim/appointment_index.h"
#include "pim/appointment_records.h"
#include "pim/vcalendar_text.h"
#include "support/test_store.h"
#include "xml/xml_document.h"

namespace qx {
namespace {

class AppointmentIndexTest : public test::StoreTest {
 protected:
  std::string Message(const std::string& name) const {
    return mail_root() + "/PO/MAILROOT/MB/Calendar/" + name;
  }
  // The element of message `name` filed from 10 to 20, as XML text; empty
  // when none was made.
  std::string Element(const std::string& name) {
    const XmlDocument document = XmlDocument::New();
    const pugi::xml_node root = document.dom().append_child("BASEELEMENT");
    const pugi::xml_node element =
        Appointment_IndexMessage(document, root, MakeAppointmentRecord("PO", "MB", {10, 20, name}));
    EXPECT_EQ(static_cast<bool>(root.first_child()), static_cast<bool>(element));
    return element ? NodeXml(element) : "";
  }
  std::string Stamp(const std::string& name) const {
    return std::to_string(static_cast<int32_t>(GetFileDosStamp(Message(name).c_str())));
  }
};

TEST_F(AppointmentIndexTest, HeadersBecomeAttributesInTheOrderTheyCome) {
  WriteFile(Message("a.MAI"),
            "Received: from relay by mx; Tue, 15 Mar 2011 08:00:00 +0000\r\n"
            "Received: from older; Mon, 14 Mar 2011 08:00:00 +0000\r\n"
            "From: Ann <ann@example.org> \r\n"
            "subject: Team meeting\r\n"
            "X-StartTime: 09:30 15 Mar, 2011\r\n"
            "X-FinishTime:  10:30:15 15 Mar, 2011\r\n"
            "X-Location:   Room 1\r\n"
            "X-ReminderSet: 1\r\n"
            "X-QXReminderTime: 09:15 15 Mar, 2011\r\n"
            "X-Read: 1\r\n"
            "Date: Mon, 14 Mar 2011 10:00:00 +0000\r\n"
            "X-Location: Room 2\r\n"
            "\r\n"
            "X-Importance: 2\r\n");
  EXPECT_EQ(Element("a.MAI"),
            "<ELEMENT ID=\"a.MAI\" START=\"10\" END=\"20\" MODIFIEDDATE=\"" + Stamp("a.MAI") +
                "\" RECEIVED=\"2011-03-15T08:00:00\" FROM=\"Ann &lt;ann@example.org>\""
                " SUBJECT=\"Team meeting\" STARTIME=\"1300181400\" FINISHTIME=\"1300185015\""
                " LOCATION=\"Room 2\" REMINDERSET=\"1\" REMINDERTIME=\"2011-03-15T09:15:00\" READ=\"1\""
                " DATE=\"2011-03-14T10:00:00\" CREATED=\"2011-03-14T10:00:00\"/>");

  // A Date line before any Received line gives the received date.
  WriteFile(Message("d.MAI"), "Date: Mon, 14 Mar 2011 10:00:00 +0000\r\nReceived: x; Tue, 15 Mar 2011 08:00:00 +0000\r\n\r\n");
  EXPECT_NE(Element("d.MAI").find("RECEIVED=\"2011-03-14T10:00:00\""), std::string::npos);
}

TEST_F(AppointmentIndexTest, OddMessagesGiveWhatOtherProgramsRead) {
  EXPECT_EQ(Element("missing.MAI"), "") << "no message, no element";
  EXPECT_EQ(Element("../Inbox/x.MAI"), "") << "never read outside the folder";

  WriteFile(Message("bare.MAI"), "\r\nSubject: in the body\r\n");
  EXPECT_EQ(Element("bare.MAI"),
            "<ELEMENT ID=\"bare.MAI\" START=\"10\" END=\"20\" MODIFIEDDATE=\"" + Stamp("bare.MAI") + "\"/>");

  // Header lines are read in pieces of 2046 characters: the rest of a long
  // line is a line of its own, and the next header is still read.
  WriteFile(Message("long.MAI"), "Subject: " + std::string(3000, 's') + "\r\nX-Class: Private\r\n" +
                                     "From: " + std::string(600, 'f') + "\r\n\r\n");
  const std::string element = Element("long.MAI");
  EXPECT_NE(element.find("SUBJECT=\"" + std::string(2046 - 9, 's') + "\""), std::string::npos);
  EXPECT_NE(element.find("CLASS=\"Private\""), std::string::npos);
  EXPECT_NE(element.find("FROM=\"Unknown\""), std::string::npos);

  // A header name found inside another line, followed by ':', counts too;
  // times beyond 32 bits and unreadable ones are left out.
  // Only the first place a name is found counts.
  WriteFile(Message("odd.MAI"), "X-QX-Class: inner\r\nX-StartTime: 09:30 15 Mar, 2040\r\n"
                                "X-FinishTime: soon\r\nNote: 0123456789 x-busystatus:2 sUBJECT:late\r\n"
                                "Note: x-importance then X-Importance: 3\r\n\r\n");
  EXPECT_EQ(Element("odd.MAI"), "<ELEMENT ID=\"odd.MAI\" START=\"10\" END=\"20\" MODIFIEDDATE=\"" +
                                    Stamp("odd.MAI") + "\" CLASS=\"inner\" SUBJECT=\"late\" BUSYSTATUS=\"2 sUBJECT:late\"/>");
}

TEST(CalendarTextTest, QuotedPrintableValuesAreDecodedAndTheirLineBreaksEscaped) {
  EXPECT_EQ(DecodeCalendarText("BEGIN:VCALENDAR\r\n"
                               "DESCRIPTION;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Line=0D=0Aone=\r\n"
                               " two caf=C3=A9 =ZZ\r\n"
                               "SUMMARY;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:a=3Db\n"
                               "LOCATION:x=3Dy\r\n"
                               "END:VCALENDAR"),
            "BEGIN:VCALENDAR\r\n"
            "DESCRIPTION;CHARSET=UTF-8:Line\\n\r\n one two caf\xC3\xA9 =ZZ\r\n"
            "SUMMARY;CHARSET=UTF-8:a=b\r\n"
            "LOCATION:x=3Dy\r\n"
            "END:VCALENDAR");
}

}  // namespace
}  // namespace qx
