#pragma once
// A plain directory listing with each entry's size and creation time, for
// the older flat interface: one listing per process, shared by its threads.
// A null record gives 0.

#include <cstdint>
#include <string>

#include "qxstore.h"

namespace qx {

// The record's pattern when it holds '*', else "%s\\*.*" of it (every entry
// of that directory); empty when that does not fit 1024 bytes.
std::string MessageSearchPattern(const MESSAGESEARCHRECORD& search);

// Drops the listing still open and starts a new one. 1 with the first entry
// in the record: its name (cut to 127 bytes), size (low 32 bits) and
// creation time in Unix seconds (low 32 bits). 0 when nothing matches, and
// the listing is then closed. "." and ".." are entries like the others.
// While full paths are confined (frame/store_roots.h), a pattern whose
// directory leads out of the store gives 0 and lists nothing.
uint32_t LocalMessagesFindFirst(MESSAGESEARCHRECORD* search);

// The next entry of the listing, filled the same way. 0 at the end (the
// listing is then closed) or when none is open.
uint32_t LocalMessagesFindNext(MESSAGESEARCHRECORD* search);

}  // namespace qx
