#pragma once
// The VEVENTs of an iCalendar text, found once: where each begins and ends
// and the starts of its lines and the spans of its alarms, as
// ICalComponent::ResetToEventEnd finds them, with their heads. A walk then steps from event to
// event without reading the text again, however often it starts over.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "pim/ical_lines.h"

namespace qx {

class ICalEventIndex {
 public:
  // Finds the events of `text`, which must outlive the index (or the next
  // Build). An event is the text after a "BEGIN:VEVENT" at or after the end
  // of the one before (CR, LF and blanks after the marker skipped) up to
  // the "END:VEVENT" after it (both any case, found anywhere); without an
  // end marker the rest of the text is the event and the last one.
  void Build(std::string_view text);
  // Forgets the events and frees their memory.
  void Clear();

  size_t size() const { return events_.size(); }
  // Presents event `number` (below size()) in *component.
  void Show(size_t number, ICalComponent* component) const;

 private:
  struct Event {
    size_t start = 0;  // in the text
    size_t length = 0;
    size_t first_line = 0;  // in line_starts_
    size_t line_count = 0;
    size_t first_alarm = 0;  // in alarms_
    size_t alarm_count = 0;
  };

  std::string_view text_;
  std::vector<Event> events_;
  std::vector<size_t> line_starts_;  // from each event's start
  std::vector<uint64_t> line_heads_;
  std::vector<ICalComponent::Span> alarms_;
};

}  // namespace qx
