// Arbitrary bytes as a calendar file below a mailbox, opened as a store
// folder of type 5 and walked through the store item interface, reading
// every kind of property (texts, UTF-16 texts, times through the file's own
// VTIMEZONE, recurrence fields, FREEBUSY keys) of each event.
// Checks: no more events than "BEGIN:VEVENT" markers; a UTF-16 value has an
// even size ending in two NULs and a text its NUL; and the events and each
// value are the ones the feed gives when read from memory rather than
// through the store.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "library/lifecycle.h"
#include "pim/ical_feed.h"
#include "pim/ical_property.h"
#include "platform/text_compare.h"
#include "store/property_map.h"
#include "qxstore.h"

namespace {

constexpr const char* kProperties[] = {
    "PR_SUBJECT",          "PR_SUBJECT_W",          "PR_START_DATE",         "PR_END_DATE",
    "PR_START_DATE_ALLDAY", "PR_BODY",              "PR_BODY_W",            "PR_SENSITIVITY",        "PR_BNP_AllDayEvent",
    "PR_BNP_BusyStatus",   "PR_BNP_IsRecurring",    "PR_BNP_RecurrenceType", "PR_BNP_PatternEndDate",
    "PR_BNP_FB_Tentative"};
// A walk of a text with thousands of tiny events says nothing more than one
// of a few dozen, and would only slow the run.
constexpr int kEventsRead = 64;

size_t CountMarkers(std::string_view text, std::string_view marker) {
  size_t count = 0;
  for (size_t at = qx::platform::FindNoCaseIn(text, marker); at != std::string_view::npos; ++count) {
    text.remove_prefix(at + 1);
    at = qx::platform::FindNoCaseIn(text, marker);
  }
  return count;
}

void CheckProperty(qx::ICalFeed* memory, const char* name) {
  void* value = nullptr;
  uint32_t size = 0;
  const int32_t result = StoreItem_GetProperty(name, &value, &size);
  const qx::ICalPropertyValue expected = qx::ICal_GetProperty(*memory, name);
  if (result != expected.result) __builtin_trap();
  if (result != 2) return;
  const std::string_view bytes(static_cast<const char*>(value), size);
  if (bytes != expected.bytes) __builtin_trap();
  if (expected.is_wide && (size < 2 || size % 2 != 0 || bytes.substr(size - 2) != std::string_view("\0\0", 2))) {
    __builtin_trap();
  }
  if (!expected.is_wide && expected.type == qx::kValueText && (size == 0 || bytes.back() != '\0')) {
    __builtin_trap();
  }
  StoreItem_FreeProperty(value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  qx::fuzz::MakeDirectories(qx::fuzz::MailRoot() + "/PO/MAILROOT/MB");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = qx::fuzz::AsText(data, size);
  qx::fuzz::WriteBytes(qx::fuzz::MailRoot() + "/PO/MAILROOT/MB/cal.ics", text);
  if (StoreFolder_Open("PO", "MB", "cal.ics", 5, 1) != 1) __builtin_trap();

  qx::ICalFeed memory;
  memory.OpenText(std::string(text));
  const size_t markers = CountMarkers(text, "BEGIN:VEVENT");
  size_t events = 0;
  bool in_memory = memory.FirstItem();
  for (uint32_t found = StoreFolder_FindFirstItem(); found != 0 && events < kEventsRead;
       found = StoreFolder_FindNextItem(), in_memory = memory.NextItem()) {
    if (!in_memory || ++events > markers) __builtin_trap();
    for (const char* name : kProperties) CheckProperty(&memory, name);
  }
  if (events < kEventsRead && in_memory) __builtin_trap();  // the store's walk stopped early
  StoreFolder_Close();
  // As a server's thread ends: its store record and item state go with it
  // (kept past the run's end they would be taken for a leak).
  qx::ThreadRelease();
  return 0;
}
