#include "pim/ical_feed.h"

#include "pim/ical_download.h"
#include "platform/errors.h"
#include "platform/file.h"

namespace qx {

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
}

bool ICalFeed::FirstItem() {
  next_event_ = 0;
  return NextItem();
}

bool ICalFeed::NextItem() {
  item_.reset();
  if (!text_) return false;
  if (!indexed_) {
    events_.Build(*text_);
    indexed_ = true;
  }
  if (next_event_ >= events_.size()) return false;
  events_.Show(next_event_++, &component_);
  item_ = component_.text();
  return true;
}

void ICalFeed::Close() {
  text_.reset();
  item_.reset();
  component_.Reset({});
  events_.Clear();
  indexed_ = false;
  next_event_ = 0;
  zone_ = TimeZoneRecord{};
}

}  // namespace qx
