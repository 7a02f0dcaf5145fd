#pragma once
// Whether a mailbox's calendar agrees with itself: every appointment
// message indexed by one element with the message's times, and filed in
// exactly one provider entry, in the bucket its times give, with those
// times; and no element or provider entry without its message. The
// messages are the truth; the index and the provider files are rebuilt
// from them.

#include <string>
#include <string_view>
#include <vector>

namespace qx {

// One disagreement: the appointment it concerns (its message's file name;
// empty for the whole calendar) and what is wrong, in words.
struct CalendarProblem {
  std::string identifier;
  std::string description;
};

// The disagreements of the calendar of `mailbox` in `postoffice`, by
// identifier. Appointment messages are the files of the Calendar folder
// other than the store's own (names beginning with '_' or '.') and the
// provider files and their companions ("Y*.CAL", ".TMP", ".BAK", ".OLD",
// ".BLK").
std::vector<CalendarProblem> CheckCalendar(std::string_view postoffice, std::string_view mailbox);

// Brings the provider files and the index in step with the messages:
// entries of missing messages and misfiled entries are removed, messages
// with both times are filed in their bucket, and the index is rebuilt with
// one element per message. A message without its times cannot be filed and
// stays a disagreement. True when the index was saved.
bool RepairCalendar(std::string_view postoffice, std::string_view mailbox);

}  // namespace qx
