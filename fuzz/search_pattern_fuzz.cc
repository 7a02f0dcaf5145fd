// Arbitrary search patterns and texts ("pattern\0text") through the content
// search's wildcard, and the text as a file through the file test and the
// tree search. A pattern without '*' matches only the equal text; a match
// with case is also one without; a file matches when one of its 1023-byte
// pieces (each cut at a NUL) does, and the tree search lists it then.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/text_compare.h"
#include "search/file_match.h"
#include "search/file_search.h"
#include "search/wildcard_match.h"

namespace {

std::string g_tree;

bool AnyPieceMatches(std::string_view text, std::string_view pattern, bool case_sensitive) {
  for (size_t at = 0; at < text.size(); at += qx::kSearchChunkSize) {
    std::string_view piece = text.substr(at, qx::kSearchChunkSize);
    piece = piece.substr(0, piece.find('\0'));
    if (qx::MatchesSearchPattern(pattern, piece, case_sensitive)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qx::fuzz::StartScratchStore();
  g_tree = qx::fuzz::ScratchRoot() + "/tree";
  qx::fuzz::MakeDirectories(g_tree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = qx::fuzz::SplitInput(qx::fuzz::AsText(data, size), 2);
  const std::string_view pattern = parts[0], text = parts[1];
  const bool with_case = qx::MatchesSearchPattern(pattern, text, true);
  const bool without_case = qx::MatchesSearchPattern(pattern, text, false);
  if (with_case && !without_case) __builtin_trap();
  if (pattern.find('*') == std::string_view::npos &&
      (with_case != (pattern == text) || without_case != qx::platform::EqualsNoCase(pattern, text))) {
    __builtin_trap();
  }

  qx::fuzz::WriteBytes(g_tree + "/F.TXT", text);
  const bool file_matches = qx::FileMatchesPattern(g_tree + "/F.TXT", pattern, false);
  if (file_matches != AnyPieceMatches(text, pattern, false)) __builtin_trap();
  qx::SearchRequest request;
  request.directory = g_tree;
  request.pattern = pattern;
  if ((qx::FindMatchingFiles(request) == "F.TXT") != file_matches) __builtin_trap();
  return 0;
}
