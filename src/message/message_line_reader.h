#pragma once
// Reads a message file line by line through one read buffer. The header
// reader asks for pieces of at most 2047 bytes, as the system always read
// header lines (a longer line comes back in pieces); the rewrites ask for
// whole lines so that they never split, and so never alter, a long line.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace qx {

inline constexpr size_t kHeaderPieceLimit = 2047;
inline constexpr size_t kWholeLines = static_cast<size_t>(-1);

class MessageLineReader {
 public:
  // `file` must stay open while the reader is used. `known_size`, when the
  // caller has just learnt the file's size (-1 when not): a short read that
  // reaches it is taken as the end, without a read that finds nothing.
  MessageLineReader(platform::File& file, size_t piece_limit, int64_t known_size = -1);
  ~MessageLineReader();
  MessageLineReader(const MessageLineReader&) = delete;
  MessageLineReader& operator=(const MessageLineReader&) = delete;

  // The next piece: the bytes up to and including '\n', or `piece_limit`
  // bytes, or what is left before the end of the file. The view stays valid
  // until the next call. False at the end of the file (or on a read error).
  bool NextLine(std::string_view* line);

  // Passes over the pieces NextLine would return until one starts with
  // `marker` (compared without regard to case) and leaves it to be returned
  // next; true then. False at the end of the file (or on a read error). The
  // pieces are not walked one by one: the bytes are searched for the
  // marker's colon, and a hit counts only where a piece starts (after a
  // '\n', or every piece limit along a longer line). `marker` holds a ':',
  // no '\n', and is no longer than the piece limit.
  bool SkipToPieceStartingWith(std::string_view marker);

  // The bytes after the last line returned, in blocks, until the end of the
  // file. False at the end; `failed()` tells a read error from the end.
  bool NextBlock(std::string_view* block);

  bool failed() const { return failed_; }

 private:
  // Reads more bytes behind those still unread; false when none came.
  bool Fill();
  // Room for `size` bytes, the valid ones kept. The buffer is not cleared:
  // only bytes read into it are ever looked at.
  void Reserve(size_t size);
  // Where the last line begun in [from, to) of the buffer starts: after its
  // last '\n', or `from` when there is none.
  size_t LineStartAfter(size_t from, size_t to) const;
  // Whether a piece starts at `at`, given that one starts at `origin` (at or
  // before it) and that the bytes between are still in the buffer.
  bool PieceStartsAt(size_t origin, size_t at) const;

  platform::File& file_;
  size_t piece_limit_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t begin_ = 0;  // first unread byte in buffer_
  size_t end_ = 0;    // one past the last valid byte in buffer_
  int64_t known_size_;
  int64_t read_total_ = 0;  // bytes read from the file so far
  bool at_end_ = false;
  bool failed_ = false;
};

}  // namespace qx
