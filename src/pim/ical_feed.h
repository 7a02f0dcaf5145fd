#pragma once
// An iCalendar feed: one iCalendar text, read from a file or downloaded from
// a web address, walked one VEVENT at a time. Each open folder of type 5
// owns one (store/item_kinds.h); nothing in it is shared between threads.

#include <optional>
#include <string>
#include <string_view>

#include "pim/ical_event_index.h"
#include "pim/ical_lines.h"
#include "pim/ical_time_zone.h"

namespace qx {

class ICalFeed {
 public:
  // Takes the text: an address that begins with "http://" or "https://"
  // (any case) is downloaded (ical_download.h), anything else is read as a
  // file. True when text was obtained; otherwise the feed holds none and
  // has no items. The text ends at its first NUL byte, if any.
  bool Open(std::string_view source);
  // Why the last Open obtained no text ("" after one that did).
  const std::string& open_error() const { return open_error_; }

  // Takes the text as given, for callers that hold it already.
  void OpenText(std::string text);

  // The first VEVENT of the text (the walk starts over), or the one after
  // the current. The item is the text between a "BEGIN:VEVENT" at or after
  // the cursor and the "END:VEVENT" after it (both any case), with CR, LF
  // and blanks after the begin marker skipped; the cursor moves past the
  // end marker. Without an end marker the rest of the text is the item and
  // the walk ends there. False, with no current item, when none is left.
  // The first call after an open finds every event (ical_event_index.h);
  // the text is not read again for the walk, nor for the next.
  bool FirstItem();
  bool NextItem();

  // Frees the text and the item.
  void Close();

  bool has_item() const { return item_.has_value(); }
  std::string_view item() const { return item_.value_or(std::string_view()); }
  std::string_view text() const { return text_ ? std::string_view(*text_) : std::string_view(); }
  // The current item with its lines indexed.
  const ICalComponent& component() const { return component_; }
  TimeZoneRecord& zone() { return zone_; }

 private:
  std::optional<std::string> text_;
  ICalEventIndex events_;
  bool indexed_ = false;
  size_t next_event_ = 0;
  // A part of text_, which stays as it is until Close.
  std::optional<std::string_view> item_;
  ICalComponent component_;
  TimeZoneRecord zone_;
  std::string open_error_;
};

}  // namespace qx
