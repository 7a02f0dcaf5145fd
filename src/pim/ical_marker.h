#pragma once
// Fast case-insensitive search for the fixed markers of iCalendar text
// ("BEGIN:VEVENT", "END:VALARM", ...). A walk over a feed searches for them
// at every event and every property read. Each marker holds a ':', and
// iCalendar text has about one ':' per line, so the search jumps from ':'
// to ':' (memchr) and compares only around each.

#include <cstddef>
#include <cstring>
#include <string_view>

#include "platform/text_compare.h"

namespace qx {

class ICalMarker {
 public:
  // `marker` holds a ':' and outlives the object (a literal).
  constexpr explicit ICalMarker(std::string_view marker) : marker_(marker), colon_(marker.find(':')) {}

  size_t size() const { return marker_.size(); }

  // The first position of the marker in `text` (ASCII letters in any
  // case), or npos.
  size_t FindIn(std::string_view text) const {
    if (text.size() < marker_.size()) return std::string_view::npos;
    const char* data = text.data();
    const size_t last_colon = text.size() - (marker_.size() - colon_);
    for (size_t at = colon_; at <= last_colon;) {
      const void* found = std::memchr(data + at, ':', last_colon + 1 - at);
      if (found == nullptr) break;
      const size_t colon = static_cast<size_t>(static_cast<const char*>(found) - data);
      if (platform::StartsWithNoCase(text.substr(colon - colon_), marker_)) return colon - colon_;
      at = colon + 1;
    }
    return std::string_view::npos;
  }

 private:
  std::string_view marker_;
  size_t colon_;
};

}  // namespace qx
