#pragma once
// Finding a short name in any case without listing its directory: each
// spelling that differs only in the case of its ASCII letters is looked up
// on its own. For the store's fixed names (block and flag files), which are
// usually absent, in a folder of thousands of messages whose listing this
// process does not hold.

#include <string>
#include <string_view>

#include "platform/directory_names.h"

namespace qx::platform {

// The most ASCII letters a name may have to be probed: 512 lookups, which
// the kernel answers from its cache of absent names.
inline constexpr int kMostProbedLetters = 9;
// In a directory of thousands of entries, whose listing costs more than
// 1024 lookups ("_DIRSIZE.TMP" has ten letters).
inline constexpr int kMostProbedLettersInLargeDirectory = 10;

// Whether `name` is short enough for ProbeSpellings.
bool CanProbeSpellings(std::string_view name, int most_letters = kMostProbedLetters);

// Looks `name` up in `directory` (a native path, "" for the current
// directory) in every spelling. kFound with `actual` the spelling on disk
// (the byte-wise smallest when several exist, as FindDirectoryName gives),
// kMissing when none exists, kUnreadable when the directory cannot be
// searched. REQUIRES: CanProbeSpellings(name, kMostProbedLettersInLargeDirectory).
NameLookup ProbeSpellings(const std::string& directory, std::string_view name, std::string* actual);

}  // namespace qx::platform
