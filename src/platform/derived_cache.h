#pragma once
// Caches derived from store files, kept outside the store: other programs
// read the store's directories, so they gain no file of ours. A record is
// named by the native path of the file it was derived from and is trusted
// only while that file is provably the same file with the same contents:
// same device, inode, size, and modification and change times to the
// nanosecond. The change time cannot be set back by anyone, so a rewrite
// with a restored modification time, a rename of another file into place
// and an edit in place all show.
//
// The directory is the "Index Cache Directory" setting (a string under
// HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Tal Mera\Tal Mera, read on each
// use), which the environment variable QXSTORE_CACHE_DIR overrides; without
// either it is /var/cache/qxstore. An empty text turns the caches off, and
// so does a directory that cannot be created or written: every use then
// misses and nothing fails.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_version.h"

namespace qx::platform {

// The version of the regular file at `store_path` now (change time
// included), and its native path; nothing when it cannot be found.
std::optional<FileVersion> IdentifyFile(std::string_view store_path, std::string* native_path);

// Whether the file's last change is recent enough that a further change
// could still leave the same times (file system times advance in coarse
// steps): such a file is not cached.
bool ChangedTooRecently(const FileVersion& identity);

// The cache directory as the settings give it now; empty when caches are off.
std::string DerivedCacheDirectory();

// The record of `kind` for the file at `native_path` when one is kept and
// was made from a file of identity `identity`; its payload.
std::optional<std::string> ReadDerivedCache(std::string_view kind, std::string_view native_path,
                                            const FileVersion& identity);

// Keeps `payload` as the record of `kind` for the file at `native_path`,
// made from a file of identity `identity`. The record is written over in
// place and carries a checksum: one read while it is written, or torn by a
// crash, is a miss. False when caches are off or the record cannot be
// written.
bool WriteDerivedCache(std::string_view kind, std::string_view native_path,
                       const FileVersion& identity, std::string_view payload);

}  // namespace qx::platform
