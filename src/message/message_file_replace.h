#pragma once
// Swapping a rewritten copy in for a message file: the copy was written in
// full beside the message, and one rename puts it in the message's place,
// so a reader finds the old message or the new one, never a part of either.
// Content rewrites end here, the one place to make the swap durable.

#include <string_view>

#include "platform/file.h"

namespace qx {

// True when `name` names a file inside the folder it is joined to: not
// empty, not "." or "..", and without '\', '/' or NUL. Item identifiers
// from callers and from index entries are checked with it before any path
// is built from them.
bool IsPlainFileName(std::string_view name);

// Flushes and closes `written` (the open copy at `temp_path`), then renames
// it over `message_path`. False when any step fails; the message is then
// as it was and the caller removes the copy.
bool ReplaceMessageFile(platform::File* written, std::string_view temp_path,
                        std::string_view message_path);

}  // namespace qx
