#pragma once
// A vCard file read line by line the way the contact code always read it:
// each line into a fixed buffer as a C string, so a line counts only up to
// its first NUL byte and only its first bytes are seen. Unlike a plain
// fgets, the rest of a line longer than the buffer is passed over, not read
// as a line of its own: a 5 MB photo on one line is one line, and a ':' deep
// inside it never starts a property. Memory stays bounded whatever the file.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace qx {

// The bytes of a line the contact code looks at (a 2048-byte buffer with its
// NUL), and the longest key and value it keeps.
inline constexpr size_t kVCardLineLimit = 2047;
inline constexpr size_t kVCardKeyLimit = 1023;
inline constexpr size_t kVCardValueLimit = 1023;

class VCardLineReader {
 public:
  // Reads `file` from where it stands; the file must outlive the reader.
  VCardLineReader(platform::File* file, size_t line_limit = kVCardLineLimit);

  // The next line without its LF (a CR before it stays), cut at its first
  // NUL and to the line limit. Valid until the next call. False at the end
  // of the file or when a read fails.
  bool Next(std::string_view* line);

  // Whether the line last returned was longer than what it holds (a NUL or
  // the limit cut it).
  bool cut() const { return cut_; }

 private:
  bool Fill();
  void Keep(const char* bytes, size_t count);

  platform::File* file_;
  size_t line_limit_;
  std::unique_ptr<char[]> buffer_;
  size_t position_ = 0;
  size_t filled_ = 0;
  std::string line_;
  bool cut_ = false;
};

// The physical line of an in-memory file that starts at *at, with its LF
// (the last line may have none); *at moves past it. Empty at the end.
std::string_view TakeLine(std::string_view text, size_t* at);

// A line without its line break (LF, or CR LF).
std::string_view WithoutLineBreak(std::string_view line);

// Whether a line continues the one before it (a folded line, which begins
// with a blank or a TAB).
inline bool IsFoldedLine(std::string_view line) {
  return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

}  // namespace qx
