#include "pim/vcard_line_reader.h"

#include <cstring>

namespace qx {

namespace {

constexpr size_t kReadSize = 16384;

}  // namespace

VCardLineReader::VCardLineReader(platform::File* file, size_t line_limit)
    : file_(file), line_limit_(line_limit), buffer_(new char[kReadSize]) {}

bool VCardLineReader::Fill() {
  const int64_t read = file_->Read(buffer_.get(), kReadSize);
  if (read <= 0) return false;
  position_ = 0;
  filled_ = static_cast<size_t>(read);
  return true;
}

void VCardLineReader::Keep(const char* bytes, size_t count) {
  if (cut_) return;
  const size_t room = line_limit_ - line_.size();
  const size_t kept = count < room ? count : room;
  const void* nul = std::memchr(bytes, '\0', kept);
  if (nul != nullptr) {
    line_.append(bytes, static_cast<const char*>(nul) - bytes);
    cut_ = true;
    return;
  }
  line_.append(bytes, kept);
  cut_ = kept < count;
}

bool VCardLineReader::Next(std::string_view* line) {
  line_.clear();
  cut_ = false;
  bool any = false;
  for (;;) {
    if (position_ == filled_ && !Fill()) {
      if (!any) return false;
      break;
    }
    any = true;
    const char* start = buffer_.get() + position_;
    const size_t available = filled_ - position_;
    const void* end = std::memchr(start, '\n', available);
    const size_t length = end != nullptr ? static_cast<const char*>(end) - start : available;
    Keep(start, length);
    position_ += length;
    if (end != nullptr) {
      ++position_;
      break;
    }
  }
  *line = line_;
  return true;
}

std::string_view TakeLine(std::string_view text, size_t* at) {
  if (*at >= text.size()) return {};
  const size_t end = text.find('\n', *at);
  const size_t next = end == std::string_view::npos ? text.size() : end + 1;
  const std::string_view line = text.substr(*at, next - *at);
  *at = next;
  return line;
}

std::string_view WithoutLineBreak(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace qx
