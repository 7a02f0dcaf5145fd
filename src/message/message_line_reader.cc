#include "message/message_line_reader.h"

#include <cstring>
#include <utility>

#include "platform/text_compare.h"

namespace qx {

namespace {
// The first read is small: most readers stop after the header block, which
// nearly always fits (half are under 400 bytes, few pass 2 KB), and a scan
// of a large folder would otherwise copy the bodies of messages it never
// looks into. Readers that go on get large reads; on a folder where half
// the messages are multipart and read whole, 4 KB copied a third fewer
// bytes than 16 KB for an eighth more reads, and took less time.
constexpr size_t kFirstReadSize = 4 * 1024;
constexpr size_t kReadSize = 64 * 1024;

// One read buffer per thread is kept between readers, so that a scan of
// thousands of messages does not allocate (and fault in) one for each; a
// reader made while another holds it allocates its own. Buffers grown past
// the limit by a huge header block are not kept.
struct SpareBuffer {
  std::unique_ptr<char[]> bytes;
  size_t capacity = 0;
};
thread_local SpareBuffer spare_buffer;
constexpr size_t kSpareLimit = 256 * 1024;
}  // namespace

MessageLineReader::MessageLineReader(platform::File& file, size_t piece_limit, int64_t known_size)
    : file_(file),
      piece_limit_(piece_limit == 0 ? 1 : piece_limit),
      buffer_(std::move(spare_buffer.bytes)),
      capacity_(std::exchange(spare_buffer.capacity, 0)),
      known_size_(known_size) {}

MessageLineReader::~MessageLineReader() {
  if (capacity_ > spare_buffer.capacity && capacity_ <= kSpareLimit) {
    spare_buffer.bytes = std::move(buffer_);
    spare_buffer.capacity = capacity_;
  }
}

bool MessageLineReader::Fill() {
  if (at_end_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const size_t want = read_total_ == 0 ? kFirstReadSize : kReadSize;
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

size_t MessageLineReader::LineStartAfter(size_t from, size_t to) const {
  if (to == from) return from;
  const char* buffer = buffer_.get();
  const void* newline = ::memrchr(buffer + from, '\n', to - from);
  return newline != nullptr ? static_cast<size_t>(static_cast<const char*>(newline) - buffer) + 1 : from;
}

bool MessageLineReader::PieceStartsAt(size_t origin, size_t at) const {
  return (at - LineStartAfter(origin, at)) % piece_limit_ == 0;
}

bool MessageLineReader::SkipToPieceStartingWith(std::string_view marker) {
  const size_t anchor = marker.find(':');
  size_t origin = begin_;         // a piece start at or before every candidate left
  size_t next = begin_ + anchor;  // where the search for the colon goes on
  for (;;) {
    while (next < end_) {
      const void* colon = std::memchr(buffer_.get() + next, ':', end_ - next);
      if (colon == nullptr) {
        next = end_;
        break;
      }
      const size_t at_colon = static_cast<size_t>(static_cast<const char*>(colon) - buffer_.get());
      const size_t candidate = at_colon - anchor;
      if (candidate + marker.size() > end_) {
        next = at_colon;  // looked at again once more bytes came
        break;
      }
      next = at_colon + 1;
      if (platform::StartsWithNoCase(std::string_view(buffer_.get() + candidate, marker.size()), marker) &&
          PieceStartsAt(origin, candidate)) {
        begin_ = candidate;
        return true;
      }
    }
    // Only the bytes from the first candidate not yet checked are kept,
    // behind the latest piece start before it.
    const size_t unchecked = next - anchor;
    origin = LineStartAfter(origin, unchecked);
    origin += (unchecked - origin) / piece_limit_ * piece_limit_;
    const size_t next_from_origin = next - origin;
    begin_ = origin;
    if (!Fill()) {
      begin_ = end_;
      return false;
    }
    origin = begin_;
    next = origin + next_from_origin;
  }
}

bool MessageLineReader::NextBlock(std::string_view* block) {
  if (begin_ == end_ && !Fill()) return false;
  *block = std::string_view(buffer_.get() + begin_, end_ - begin_);
  begin_ = end_;
  return true;
}

}  // namespace qx
