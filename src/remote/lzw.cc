#include "remote/lzw.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "platform/diagnostics.h"

namespace qx {

namespace {

constexpr uint16_t kSuspiciousCode = 0xFFFF;

void WriteCode(std::vector<uint8_t>& out, uint32_t code) {
  out.push_back(static_cast<uint8_t>(code & 0xFF));
  out.push_back(static_cast<uint8_t>(code >> 8));
}

uint16_t ReadCode(std::span<const uint8_t> codes, size_t ordinal) {
  return static_cast<uint16_t>(codes[2 * ordinal] | (codes[2 * ordinal + 1] << 8));
}

// Copies as much of piece as still fits; true while out has room left.
bool Emit(std::span<uint8_t> out, size_t& written, const std::string& piece) {
  size_t count = std::min(piece.size(), out.size() - written);
  std::copy_n(piece.begin(), count, out.begin() + static_cast<std::ptrdiff_t>(written));
  written += count;
  return written < out.size();
}

}  // namespace

std::vector<uint8_t> LzwCompress(std::span<const uint8_t> input) {
  std::vector<uint8_t> out;
  out.reserve(2 * input.size() + 2);
  // (prefix code << 8 | next byte) -> code. Prefixes are always the lowest
  // code of their string, so the first entry made for a key is the lowest
  // index holding that string; later equal entries are never looked up.
  std::unordered_map<uint32_t, uint16_t> dictionary;
  dictionary.reserve(kLzwDictionaryLimit);
  size_t dictionary_size = 256;
  int32_t w = -1;
  size_t w_length = 0;
  for (uint8_t c : input) {
    if (w < 0) {
      w = c;
      w_length = 1;
      continue;
    }
    uint32_t key = (static_cast<uint32_t>(w) << 8) | c;
    auto found = dictionary.find(key);
    if (found != dictionary.end() && w_length < kLzwLongestExtended) {
      w = found->second;
      ++w_length;
      continue;
    }
    WriteCode(out, static_cast<uint32_t>(w));
    if (dictionary_size < kLzwDictionaryLimit) {
      dictionary.try_emplace(key, static_cast<uint16_t>(dictionary_size));
      ++dictionary_size;
    }
    w = c;
    w_length = 1;
  }
  if (w >= 0) WriteCode(out, static_cast<uint32_t>(w));
  return out;
}

size_t LzwDecompress(std::span<const uint8_t> codes, std::span<uint8_t> out) {
  size_t code_count = codes.size() / 2;
  if (code_count == 0) return 0;
  size_t written = 0;

  uint16_t first = ReadCode(codes, 0);
  if (first == kSuspiciousCode) platform::Trace("Something wrong");
  if (first >= 256) return 0;
  // Entries past the 256 single bytes. The previous string is kept by value,
  // so a code that names no entry can never index outside the dictionary.
  std::vector<std::string> added;
  added.reserve(kLzwDictionaryLimit - 256);
  std::string previous(1, static_cast<char>(first));
  if (!Emit(out, written, previous) || codes.size() < 4) return written;

  for (size_t ordinal = 1; ordinal < code_count; ++ordinal) {
    uint16_t code = ReadCode(codes, ordinal);
    if (code == kSuspiciousCode) platform::Trace("Something wrong");
    size_t dictionary_size = 256 + added.size();
    std::string current;
    if (code < dictionary_size) {
      current = code < 256 ? std::string(1, static_cast<char>(code)) : added[code - 256];
      if (dictionary_size < kLzwDictionaryLimit) added.push_back(previous + current[0]);
    } else {
      current = previous + previous[0];
      if (dictionary_size < kLzwDictionaryLimit) added.push_back(current);
    }
    bool room_left = Emit(out, written, current);
    previous = std::move(current);
    if (!room_left) break;
  }
  return written;
}

}  // namespace qx
