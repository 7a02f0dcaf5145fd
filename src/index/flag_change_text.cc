#include "index/flag_change_text.h"

#include <vector>

#include "message/flag_words.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(' ', start);
    const size_t stop = end == std::string_view::npos ? text.size() : end;
    if (stop > start) words.push_back(text.substr(start, stop - start));
    start = stop + 1;
  }
  return words;
}

std::string FlagWord(std::string_view name) {
  if (name.find('\\') != std::string_view::npos) return std::string(name);
  return "\\" + std::string(name);
}

// Drops every blank-separated word of `flags` equal to `word` without
// regard to case; true when one was dropped.
bool RemoveFlagWord(std::string* flags, std::string_view word) {
  std::string kept;
  bool removed = false;
  for (std::string_view present : SplitWords(*flags)) {
    if (EqualsNoCase(present, word)) {
      removed = true;
      continue;
    }
    if (!kept.empty()) kept += ' ';
    kept.append(present);
  }
  if (removed) *flags = kept;
  return removed;
}

bool AddIfAbsent(std::string* flags, std::string_view name) {
  const std::string word = FlagWord(name);
  if (ListHasFlagWord(*flags, word)) return false;
  AddFlagWord(flags, word);
  return true;
}

}  // namespace

bool ApplyFlagChangeText(std::string* flags, std::string_view change_text) {
  const std::vector<std::string_view> words = SplitWords(change_text);
  bool changed = false;
  if (words.empty() || (words.front()[0] != '+' && words.front()[0] != '-')) {
    changed = !flags->empty();
    flags->clear();
  }
  for (std::string_view word : words) {
    if (word[0] == '-') {
      if (word.size() > 1 && RemoveFlagWord(flags, FlagWord(word.substr(1)))) changed = true;
      continue;
    }
    if (word[0] == '+') word.remove_prefix(1);
    if (!word.empty() && AddIfAbsent(flags, word)) changed = true;
  }
  return changed;
}

}  // namespace qx
