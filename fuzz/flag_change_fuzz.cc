// Arbitrary flag lists and flag change texts ("flags\0change"), applied the
// way an update transaction applies them. For every flag the text names, its
// last mention decides: a flag last removed is not a word of the list; a
// flag added is found in it when the text removes nothing (an add is
// skipped when a longer word holds it, and removing that word then takes
// both: the deliberate substring test of flag lists). A list that changed
// must be reported as changed.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "index/flag_change_text.h"
#include "message/flag_words.h"
#include "platform/text_compare.h"

namespace {

using qx::platform::EqualsNoCase;

struct Mention {
  std::string word;
  bool added;
};

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

std::string AsFlagWord(std::string_view name) {
  return name.find('\\') == std::string_view::npos ? "\\" + std::string(name) : std::string(name);
}

std::vector<Mention> Mentions(std::string_view change) {
  std::vector<Mention> mentions;
  for (std::string_view word : Words(change)) {
    if (word.front() == '-') {
      if (word.size() > 1) mentions.push_back({AsFlagWord(word.substr(1)), false});
      continue;
    }
    if (word.front() == '+') word.remove_prefix(1);
    if (!word.empty()) mentions.push_back({AsFlagWord(word), true});
  }
  return mentions;
}

bool LastMention(const std::vector<Mention>& mentions, size_t at) {
  for (size_t later = at + 1; later < mentions.size(); ++later) {
    if (EqualsNoCase(mentions[later].word, mentions[at].word)) return false;
  }
  return true;
}

bool IsWordOf(std::string_view list, std::string_view word) {
  for (std::string_view present : Words(list)) {
    if (EqualsNoCase(present, word)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = qx::fuzz::SplitInput(qx::fuzz::AsText(data, size), 2);
  std::string flags(parts[0]);
  const bool reported = qx::ApplyFlagChangeText(&flags, parts[1]);
  if (flags != parts[0] && !reported) __builtin_trap();

  const std::vector<Mention> mentions = Mentions(parts[1]);
  bool removes = false;
  for (const Mention& mention : mentions) removes = removes || !mention.added;
  for (size_t i = 0; i < mentions.size(); ++i) {
    if (!LastMention(mentions, i) || (mentions[i].added && removes)) continue;
    const bool present = mentions[i].added ? qx::ListHasFlagWord(flags, mentions[i].word)
                                           : IsWordOf(flags, mentions[i].word);
    if (present != mentions[i].added) __builtin_trap();
  }
  return 0;
}
