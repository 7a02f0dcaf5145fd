#include "pim/ical_event_index.h"

#include "pim/ical_marker.h"

namespace qx {

namespace {

constexpr ICalMarker kEventBegin("BEGIN:VEVENT");
constexpr std::string_view kEventEnd = "END:VEVENT";

}  // namespace

void ICalEventIndex::Build(std::string_view text) {
  Clear();
  text_ = text;
  ICalComponent scan;
  size_t cursor = 0;
  while (true) {
    const size_t begin = kEventBegin.FindIn(text.substr(cursor));
    if (begin == std::string_view::npos) break;
    size_t start = cursor + begin + kEventBegin.size();
    while (start < text.size() && (text[start] == '\r' || text[start] == '\n' || text[start] == ' ')) ++start;
    const size_t end = scan.ResetToEventEnd(text.substr(start));
    const std::span<const size_t> lines = scan.line_starts();
    const std::span<const uint64_t> heads = scan.line_heads();
    const std::span<const ICalComponent::Span> alarms = scan.alarms();
    events_.push_back({start, scan.text().size(), line_starts_.size(), lines.size(), alarms_.size(), alarms.size()});
    line_starts_.insert(line_starts_.end(), lines.begin(), lines.end());
    line_heads_.insert(line_heads_.end(), heads.begin(), heads.end());
    alarms_.insert(alarms_.end(), alarms.begin(), alarms.end());
    if (end == std::string_view::npos) break;
    cursor = start + end + kEventEnd.size();
  }
}

void ICalEventIndex::Clear() {
  text_ = {};
  events_ = {};
  line_starts_ = {};
  line_heads_ = {};
  alarms_ = {};
}

void ICalEventIndex::Show(size_t number, ICalComponent* component) const {
  const Event& event = events_[number];
  component->View(text_.substr(event.start, event.length),
                  std::span<const size_t>(line_starts_).subspan(event.first_line, event.line_count),
                  std::span<const uint64_t>(line_heads_).subspan(event.first_line, event.line_count),
                  std::span<const ICalComponent::Span>(alarms_).subspan(event.first_alarm, event.alarm_count));
}

}  // namespace qx
