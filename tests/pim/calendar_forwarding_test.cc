// The provider operations while a remote administration host is chosen:
// the host program carries them out as its own process, and the files it
// leaves are those the same calls leave when run here.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pim/appointment_records.h"
#include "qxstore.h"
#include "remote/remote_state.h"
#include "support/remote_host_test.h"

namespace qx {
namespace {

constexpr int32_t k0900 = 1300179600;

class CalendarForwardingTest : public test::RemoteHostTest {
 protected:
  std::string Calendar(const std::string& mailbox, const std::string& name) const {
    return mail_root() + "/PO/MAILROOT/" + mailbox + "/Calendar/" + name;
  }
};

// Every operation once, on `mailbox`: each result with the times and
// identifier it left in its record.
std::vector<std::string> RunEveryOperation(const std::string& mailbox) {
  std::vector<std::string> steps;
  const auto take = [&](uint32_t result, const APPOINTMENTRECORD& record) {
    steps.push_back(std::to_string(result) + " " + std::to_string(record.start) + " " +
                    std::to_string(record.end) + " " + record.identifier);
  };
  APPOINTMENTRECORD a = MakeAppointmentRecord("PO", mailbox, {k0900, k0900 + 3600, "a.MAI"});
  APPOINTMENTRECORD b = MakeAppointmentRecord("PO", mailbox, {k0900 + 60, k0900 + 120, "b.MAI"});
  take(AppointmentAdd(&a), a);
  take(AppointmentAdd(&a), a);
  take(AppointmentAdd(&b), b);
  APPOINTMENTRECORD found = MakeAppointmentRecord("PO", mailbox, {k0900, k0900, ""});
  for (uint32_t more = AppointmentFindFirst(&found); more == 1; more = AppointmentFindNext(&found)) {
    take(more, found);
    found.identifier[0] = '\0';
  }
  APPOINTMENTRECORD c = MakeAppointmentRecord("PO", mailbox, {k0900 + 30, k0900 + 90, "c.MAI"});
  take(AppointmentEdit(&a, &c), a);
  std::strcpy(found.identifier, "C.mai");
  take(AppointmentGet(&found), found);
  take(AppointmentRemove(&b), b);
  return steps;
}

TEST_F(CalendarForwardingTest, TheHostLeavesTheFilesLocalCallsLeave) {
  MakeDirs(mail_root() + "/PO/MAILROOT/Here");
  MakeDirs(mail_root() + "/PO/MAILROOT/There");
  const std::vector<std::string> here = RunEveryOperation("Here");

  const uint16_t port = StartHostProgram();
  if (port == 0) GTEST_SKIP() << "qxradms is not built";
  AddHost("Radms", port, "open sesame");
  SetCurrentHost("Radms");
  const std::vector<std::string> there = RunEveryOperation("There");
  EXPECT_EQ(Remote().connected_host, "Radms");
  EXPECT_EQ(Remote().loaded_library, "QXAICP.DLL");

  EXPECT_EQ(there, here);
  EXPECT_EQ(here.size(), 8u);
  for (const char* name : {"Y11M03D15.CAL", "Y11M03D15.BAK", "_CHANGE.DTY"}) {
    EXPECT_EQ(ReadFile(Calendar("There", name)), ReadFile(Calendar("Here", name))) << name;
  }
  EXPECT_EQ(ReadFile(Calendar("There", "Y11M03D15.CAL")), "1300179630\t1300179690\tc.MAI");
  EXPECT_FALSE(Exists(Calendar("There", "Y11M03D15.BLK")));
}

}  // namespace
}  // namespace qx
