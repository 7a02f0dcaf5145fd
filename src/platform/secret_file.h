#pragma once
// Files that hold secrets (a shared secret, a TLS private key) are taken
// only when no one but their owner may read or write them: a regular file
// of mode 0600 or stricter. A secret that others can read is refused, not
// warned about, so that it is put right before anyone relies on it.

#include <cstddef>
#include <optional>
#include <string>

namespace qx::platform {

// True when path is a regular file without group or other permission bits.
// Otherwise false with *error saying what is wrong ("mode 0644: others may
// read it; chmod 600 it", "no such file").
bool IsPrivateFile(const std::string& path, std::string* error);

// The first most_bytes bytes of a private file (IsPrivateFile); nullopt
// with *error when it is not private or cannot be read.
std::optional<std::string> ReadPrivateFile(const std::string& path, size_t most_bytes,
                                           std::string* error);

}  // namespace qx::platform
