#include "message/message_line_reader.h"

#include <cstring>

namespace qx {

namespace {
// The first read is small: most readers stop after the header block, which
// nearly always fits, and a scan of a large folder would otherwise copy
// every message whole. Readers that go on get large reads.
constexpr size_t kFirstReadSize = 16 * 1024;
constexpr size_t kReadSize = 64 * 1024;
}

MessageLineReader::MessageLineReader(platform::File& file, size_t piece_limit, int64_t known_size)
    : file_(file), piece_limit_(piece_limit == 0 ? 1 : piece_limit), known_size_(known_size) {}

bool MessageLineReader::Fill() {
  if (at_end_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const size_t want = capacity_ == 0 ? kFirstReadSize : kReadSize;
  if (capacity_ < end_ + want) Reserve(end_ + want);
  int64_t got = file_.Read(buffer_.get() + end_, want);
  if (got <= 0) {
    at_end_ = true;
    failed_ = got < 0;
    return false;
  }
  end_ += static_cast<size_t>(got);
  read_total_ += got;
  // A read short of what was asked ended at the end of the file then.
  if (known_size_ >= 0 && static_cast<size_t>(got) < want && read_total_ >= known_size_) at_end_ = true;
  return true;
}

void MessageLineReader::Reserve(size_t size) {
  auto larger = std::make_unique_for_overwrite<char[]>(size);
  if (end_ > 0) std::memcpy(larger.get(), buffer_.get(), end_);
  buffer_ = std::move(larger);
  capacity_ = size;
}

bool MessageLineReader::NextLine(std::string_view* line) {
  size_t scanned = 0;
  for (;;) {
    size_t available = end_ - begin_;
    size_t window = available < piece_limit_ ? available : piece_limit_;
    const char* start = buffer_.get() + begin_;
    const void* newline = window > scanned ? std::memchr(start + scanned, '\n', window - scanned) : nullptr;
    size_t length = 0;
    if (newline != nullptr) {
      length = static_cast<size_t>(static_cast<const char*>(newline) - start) + 1;
    } else if (window == piece_limit_) {
      length = window;
    } else {
      scanned = window;
      if (Fill()) continue;
      length = end_ - begin_;
      if (length == 0) return false;
    }
    *line = std::string_view(buffer_.get() + begin_, length);
    begin_ += length;
    return true;
  }
}

bool MessageLineReader::NextBlock(std::string_view* block) {
  if (begin_ == end_ && !Fill()) return false;
  *block = std::string_view(buffer_.get() + begin_, end_ - begin_);
  begin_ = end_;
  return true;
}

}  // namespace qx
