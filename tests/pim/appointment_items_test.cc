// Appointments through the store-item interface: the Calendar folder's
// index made from the provider files, properties in their caller types,
// and saves and deletes that keep message, index and provider files in
// step.

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "pim/appointment_rebuild.h"
#include "pim/appointment_records.h"
#include "index/store_index.h"
#include "qxstore.h"
#include "support/test_store.h"

namespace qx {
namespace {

constexpr int32_t k0930 = 1300181400;  // 15 March 2011, 09:30 UTC
constexpr uint64_t kUnixEpochTicks = 116444736000000000ULL;

FILETIME FileTimeOf(int64_t seconds) {
  const uint64_t ticks = kUnixEpochTicks + static_cast<uint64_t>(seconds) * 10000000ULL;
  return {static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

class AppointmentItemsTest : public test::StoreTest {
 protected:
  std::string Calendar(const std::string& name) const { return mail_root() + "/PO/MAILROOT/MB/Calendar/" + name; }
  static APPOINTMENTRECORD Record(const std::string& id, int32_t start, int32_t end) {
    return MakeAppointmentRecord("PO", "MB", {start, end, id});
  }
  static uint32_t Open() { return StoreFolder_Open("PO", "MB", "Calendar", 2, 1); }
  static std::string Text(const char* name) {
    void* value = nullptr;
    uint32_t size = 0;
    const int32_t result = StoreItem_GetProperty(name, &value, &size);
    if (result != 2) return "<" + std::to_string(result) + ">";
    std::string text(static_cast<const char*>(value), size - 1);
    StoreItem_FreeProperty(value);
    return text;
  }
  template <class T>
  static T Value(const char* name) {
    void* value = nullptr;
    uint32_t size = 0;
    T out{};
    if (StoreItem_GetProperty(name, &value, &size) == 2 && size == sizeof out) std::memcpy(&out, value, sizeof out);
    StoreItem_FreeProperty(value);
    return out;
  }
};

TEST_F(AppointmentItemsTest, SavesMirrorMovesIntoTheProviderFilesAndRewriteOnlyTheirHeaders) {
  WriteFile(Calendar("a.MAI"),
            "From: ann@example.org\r\nSubject: Team\r\n  meeting\r\nX-StartTime: 09:30 15 Mar, 2011\r\n"
            "X-FinishTime: 10:30 15 Mar, 2011\r\nX-Other: kept\nX-ReminderSet: 1\r\n\r\nAgenda\r\n");
  APPOINTMENTRECORD filed = Record("a.MAI", k0930, k0930 + 3600);
  ASSERT_EQ(AppointmentAdd(&filed), 1u);

  // A folder without an index is rebuilt from its provider files, which go.
  ASSERT_EQ(Open(), 1u);
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.CAL")));
  ASSERT_NE(StoreFolder_SelectItem("a.MAI"), 0u);
  EXPECT_EQ(Text("PR_SUBJECT"), "Team");
  const FILETIME start = Value<FILETIME>("PR_START_DATE");
  const FILETIME expected = FileTimeOf(k0930);
  EXPECT_EQ(std::memcmp(&start, &expected, sizeof start), 0);
  EXPECT_EQ(Value<int32_t>("PR_BNP_ReminderSet"), 1);
  EXPECT_EQ(Text("QX_MAILBOX"), "MB");
  EXPECT_EQ(Text("PR_NOT_AN_APPOINTMENT_PROPERTY"), "<-1>");
  EXPECT_EQ(Text("PR_BODY"), "Agenda\r\n");

  // Unchanged times mirror nothing; the headers are rewritten all the same.
  EXPECT_EQ(StoreItem_SetProperty("", "PR_LOCATION", "Room 2"), 1u);
  EXPECT_EQ(StoreFolder_Save(0), 1u);
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.CAL")));
  EXPECT_EQ(ReadFile(Calendar("a.MAI")),
            "From: ann@example.org\r\nSubject: Team\r\nX-StartTime: 09:30 15 Mar, 2011\r\n"
            "X-FinishTime: 10:30 15 Mar, 2011\r\nX-Other: kept\r\nX-ReminderSet: 1\r\n"
            "X-Location: Room 2\r\n\r\nAgenda\r\n");

  // A move removes the old entry and files the new one; seconds are written.
  const FILETIME later = FileTimeOf(k0930 + 86400 + 5);
  const FILETIME later_end = FileTimeOf(k0930 + 86400 + 3600);
  StoreItem_SetProperty("", "PR_START_DATE", &later);
  StoreItem_SetProperty("", "PR_END_DATE", &later_end);
  StoreFolder_Save(0);
  EXPECT_EQ(ReadFile(Calendar("Y11M03D16.CAL")), "1300267805\t1300271400\ta.MAI");
  EXPECT_NE(ReadFile(Calendar("a.MAI")).find("X-StartTime: 09:30:05 16 Mar, 2011\r\n"), std::string::npos);
  const FILETIME next_day = FileTimeOf(k0930 + 2 * 86400);
  StoreItem_SetProperty("", "PR_BNP_Start", &next_day);
  StoreItem_SetProperty("", "PR_BNP_End", &next_day);
  StoreFolder_Save(0);
  EXPECT_FALSE(Exists(Calendar("Y11M03D16.CAL")));
  EXPECT_EQ(ReadFile(Calendar("Y11M03D17.CAL")), "1300354200\t1300354200\ta.MAI");
  // A time 32-bit Unix seconds cannot hold is not taken.
  const FILETIME beyond = FileTimeOf(int64_t{1} << 32);
  StoreItem_SetProperty("", "PR_START_DATE", &beyond);
  EXPECT_EQ(Value<FILETIME>("PR_START_DATE").dwLowDateTime, FileTimeOf(k0930 + 2 * 86400).dwLowDateTime);

  // Deleting takes message, provider entry and element.
  EXPECT_EQ(StoreFolder_DeleteItem("a.MAI"), 1u);
  StoreFolder_Save(0);
  EXPECT_FALSE(Exists(Calendar("a.MAI")));
  EXPECT_FALSE(Exists(Calendar("Y11M03D17.CAL")));
  EXPECT_EQ(ReadFile(Calendar("_index.xml")).find("a.MAI"), std::string::npos);
  StoreFolder_FindClose();
}

TEST_F(AppointmentItemsTest, NewAppointmentsAreWrittenFromTheirElement) {
  MakeDirs(Calendar(""));
  ASSERT_EQ(Open(), 1u);
  const FILETIME start = FileTimeOf(921488400);  // 1999: a bucket of its own
  const FILETIME end = FileTimeOf(921492000);
  ASSERT_EQ(StoreFolder_CreateItem("n.MAI"), 1u);
  StoreItem_SetProperty("", "PR_SUBJECT", "Plan\r\nBcc: everyone");
  StoreItem_SetProperty("", "PR_START_DATE", &start);
  StoreItem_SetProperty("", "PR_END_DATE", &end);
  const int32_t busy = 2;
  StoreItem_SetProperty("", "PR_BNP_BusyStatus", &busy);
  StoreItem_SetProperty("", "PR_BODY", "Agenda\r\n");
  StoreItem_SetProperty("", "PR_BNP_vCalendar", "BEGIN:VCALENDAR\r\nSUMMARY;ENCODING=QUOTED-PRINTABLE:a=3Db\r\nEND:VCALENDAR");
  EXPECT_EQ(Text("PR_BNP_vCalendar_UNICODE"), "BEGIN:VCALENDAR\r\nSUMMARY:a=b\r\nEND:VCALENDAR");
  StoreFolder_Save(0);
  EXPECT_EQ(ReadFile(Calendar("n.MAI")),
            "Subject: Plan  Bcc: everyone\r\nX-StartTime: 09:00 15 Mar, 1999\r\n"
            "X-FinishTime: 10:00 15 Mar, 1999\r\nX-BusyStatus: 2\r\n"
            "Content-Type: multipart/mixed;\r\n\tboundary=\"----------677C251E373B0A\"\r\n\r\n"
            "------------677C251E373B0A\r\nContent-Type: text/plain; charset=utf-8\r\n"
            "Content-Transfer-Encoding: 7bit\r\n\r\nAgenda\r\n"
            "------------677C251E373B0A\r\nContent-Type: text/calendar; charset=utf-8\r\n"
            "Content-Transfer-Encoding: 7bit\r\n\r\n"
            "BEGIN:VCALENDAR\r\nSUMMARY;ENCODING=QUOTED-PRINTABLE:a=3Db\r\nEND:VCALENDAR\r\n"
            "------------677C251E373B0A--\r\n");
  EXPECT_EQ(ReadFile(Calendar("Y-1M03D15.CAL")), "921488400\t921492000\tn.MAI");
  const std::string index = ReadFile(Calendar("_index.xml"));
  EXPECT_NE(index.find("ID=\"n.MAI\""), std::string::npos);
  EXPECT_EQ(index.find("BODY="), std::string::npos) << "bodies live in the message only";
  EXPECT_EQ(Text("PR_BODY"), "Agenda\r\n");
  StoreFolder_FindClose();
}

TEST_F(AppointmentItemsTest, ChangedFoldersAreRebuiltOnlyWhenTheirIndexFailsOrTheSettingSaysSo) {
  WriteFile(Calendar("a.MAI"), "Subject: A\r\nX-StartTime: 09:30 15 Mar, 2011\r\n\r\n");
  WriteFile(Calendar("b.MAI"), "Subject: B\r\n\r\n");
  WriteFile(Calendar("c.MAI"), "Subject: C\r\n\r\n");
  WriteFile(Calendar("_index.xml"), "<BASEELEMENT><ELEMENT ID=\"c.MAI\"/></BASEELEMENT>");
  APPOINTMENTRECORD a = Record("a.MAI", k0930, k0930 + 3600);
  APPOINTMENTRECORD late = Record("b.MAI", k0930 + 4 * 3600, k0930 + 5 * 3600);
  APPOINTMENTRECORD long_one = Record("c.MAI", k0930, k0930 + 2 * 86400);
  ASSERT_EQ(AppointmentAdd(&a) + AppointmentAdd(&late) + AppointmentAdd(&long_one), 3u);

  // The adds flagged the folder, but its index loads: kept as it is.
  ASSERT_EQ(Open(), 1u);
  StoreFolder_FindClose();
  EXPECT_TRUE(Exists(Calendar("Y11M03D15.CAL")));
  EXPECT_EQ(ReadFile(Calendar("_index.xml")).find("a.MAI"), std::string::npos);

  // A rebuild for a range walks the start's day buckets and keeps the
  // provider files.
  setenv("TZ", "UTC0", 1);
  tzset();
  StoreIndex index;
  InitStoreIndex(&index);
  SetStoreIndexNames(&index, "PO", "MB", "Calendar");
  index.folder_type = 2;
  APPOINTMENTRECORD range = Record("", k0930, k0930 + 3 * 3600);
  EXPECT_EQ(Appointment_RebuildIndex(&index, &range, 0, 0), 1u);
  ReleaseStoreIndex(&index);
  unsetenv("TZ");
  tzset();
  std::string text = ReadFile(Calendar("_index.xml"));
  EXPECT_NE(text.find("ID=\"a.MAI\""), std::string::npos);
  EXPECT_EQ(text.find("b.MAI"), std::string::npos);
  EXPECT_EQ(text.find("c.MAI"), std::string::npos);
  EXPECT_TRUE(Exists(Calendar("Y11M03D15.CAL")));

  // With "Calendar ReIndex Mode" a changed folder is rebuilt from them all.
  registry().SetDword(test::kLibraryRootKey, "Calendar ReIndex Mode", 1);
  ForgetCalendarReIndexMode();
  StoreLibrary_ThreadRelease();  // as a host does before it stops the library
  ReloadLibrary();
  WriteFile(Calendar("_CHANGE.DTY"), "x");
  std::filesystem::permissions(Calendar("Y11M03.CAL"), std::filesystem::perms::owner_read);
  ASSERT_EQ(Open(), 1u);
  StoreFolder_FindClose();
  text = ReadFile(Calendar("_index.xml"));
  for (const char* id : {"a.MAI", "b.MAI", "c.MAI"}) EXPECT_NE(text.find(id), std::string::npos) << id;
  EXPECT_FALSE(Exists(Calendar("Y11M03D15.CAL")));
  EXPECT_TRUE(Exists(Calendar("Y11M03.CAL"))) << "a read-only provider file is indexed but stays";
  ForgetCalendarReIndexMode();
}

TEST_F(AppointmentItemsTest, RebuildsReadingMessagesOnHelperThreadsSaveTheSameIndex) {
  // Appointments over several buckets, headers repeated, long and odd, one
  // message missing.
  std::string buckets[3];
  for (int i = 0; i < 300; ++i) {
    const std::string id = "m" + std::to_string(i) + ".MAI";
    const int32_t start = k0930 + (i % 3) * 86400 + i * 60;
    std::string text = "Received: by mx; Tue, 15 Mar 2011 08:0" + std::to_string(i % 10) + ":00 +0100\r\n";
    text += "From: " + std::string(static_cast<size_t>(i % 5 == 0 ? 600 : 20), 'a') + " \r\n";
    text += "Subject: S" + std::to_string(i) + "\r\nX-Location: room " + std::to_string(i) + "\r\n";
    if (i % 4 == 0) text += "Subject: again " + std::to_string(i) + "\r\nX-Read: 1\r\n";
    text += "Date: Mon, " + std::to_string(1 + i % 28) + " Mar 2011 10:00:00 -0500\r\n";
    text += "X-StartTime: 09:30 " + std::to_string(1 + i % 28) + " Oct, 2011\r\nX-QXDueBy: 08:00 2 Apr, 2011\r\n";
    if (i % 7 == 0) text += std::string(3000, 'x') + "\r\n";
    text += "\r\nbody\r\n";
    if (i != 17) WriteFile(Calendar(id), text);
    std::string& bucket = buckets[i % 3];
    bucket += (bucket.empty() ? "" : "\n") + std::to_string(start) + "\t" + std::to_string(start + 600) + "\t" + id;
  }
  auto rebuild = [&](size_t read_ahead_minimum) {
    for (int day = 0; day < 3; ++day) WriteFile(Calendar("Y11M03D1" + std::to_string(5 + day) + ".CAL"), buckets[day]);
    SetRebuildReadAheadMinimum(read_ahead_minimum);
    StoreIndex index;
    InitStoreIndex(&index);
    SetStoreIndexNames(&index, "PO", "MB", "Calendar");
    index.folder_type = 2;
    EXPECT_EQ(Appointment_RebuildIndex(&index, nullptr, 0, 0), 1u);
    ReleaseStoreIndex(&index);
    SetRebuildReadAheadMinimum(0);
    EXPECT_FALSE(Exists(Calendar("Y11M03D15.CAL")));
    return ReadFile(Calendar("_index.xml"));
  };
  const std::string serial = rebuild(1000000);
  EXPECT_EQ(rebuild(1), serial);
  EXPECT_NE(serial.find("ID=\"m299.MAI\""), std::string::npos);
  EXPECT_EQ(serial.find("m17.MAI"), std::string::npos) << "an entry without its message gets no element";
}

}  // namespace
}  // namespace qx
