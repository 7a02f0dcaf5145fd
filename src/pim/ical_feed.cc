#include "pim/ical_feed.h"

#include "pim/ical_download.h"
#include "pim/ical_marker.h"
#include "platform/errors.h"
#include "platform/file.h"

namespace qx {

namespace {

constexpr ICalMarker kEventBegin("BEGIN:VEVENT");
constexpr std::string_view kEventEnd = "END:VEVENT";

}  // namespace

bool ICalFeed::Open(std::string_view source) {
  Close();
  open_error_.clear();
  std::optional<std::string> text;
  if (IsFeedAddress(source)) {
    text = DownloadFeed(source, &open_error_);
  } else {
    std::string contents;
    if (platform::ReadWholeFile(source, &contents)) {
      text = std::move(contents);
    } else {
      open_error_ = "the file cannot be read (error " + std::to_string(platform::GetLastError()) + ")";
    }
  }
  if (!text) return false;
  OpenText(std::move(*text));
  return true;
}

void ICalFeed::OpenText(std::string text) {
  Close();
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  text_ = std::move(text);
  cursor_ = 0;
}

bool ICalFeed::FirstItem() {
  cursor_ = 0;
  return NextItem();
}

bool ICalFeed::NextItem() {
  item_.reset();
  if (!text_ || !cursor_) return false;
  const std::string_view text(*text_);
  const size_t begin = kEventBegin.FindIn(text.substr(*cursor_));
  if (begin == std::string_view::npos) {
    cursor_.reset();
    return false;
  }
  size_t start = *cursor_ + begin + kEventBegin.size();
  while (start < text.size() && (text[start] == '\r' || text[start] == '\n' || text[start] == ' ')) ++start;
  const size_t end = component_.ResetToEventEnd(text.substr(start));
  if (end == std::string_view::npos) {
    cursor_.reset();
  } else {
    cursor_ = start + end + kEventEnd.size();
  }
  item_ = component_.text();
  return true;
}

void ICalFeed::Close() {
  text_.reset();
  cursor_.reset();
  item_.reset();
  component_.Reset({});
  zone_ = TimeZoneRecord{};
}

}  // namespace qx
