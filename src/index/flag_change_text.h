#pragma once
// The flag change text that other server programs hand to an update
// transaction: words separated by blanks, "+\SEEN" adds a flag word,
// "-\RECENT" removes one, and a text whose first word has no sign replaces
// the flags ("\ANSWERED" leaves only "\ANSWERED").

#include <string>
#include <string_view>

namespace qx {

// Applies `change_text` to the flag word list `flags`. A word with '+' or
// no sign is added (with a '\' in front when it has none) unless the list
// already holds it (a search without regard to case); a word with '-' is
// removed wherever it stands as a whole word. A first word without a sign
// empties the list first, and an empty text empties it. True when at least
// one word was added or removed.
bool ApplyFlagChangeText(std::string* flags, std::string_view change_text);

}  // namespace qx
