#pragma once
// The names of a directory by their case-folded spelling, kept between calls
// so that asking for a missing flag file in a folder of 20,000 messages does
// not list the folder each time.
//
// A directory listed a second time in a process is followed with inotify from
// then on: the creates, deletes and renames of every process on this machine
// reach its listing as they happen, so the store's own block and flag files,
// made and removed on every open, do not cost a new listing. A first listing,
// and one that inotify cannot follow (no instance or watch left, or a network
// file system that other machines change), is kept only while the directory's
// change time stays as it was.

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

enum class NameLookup { kFound, kMissing, kUnreadable, kNotKept };

// Looks `name` up in `directory` without regard to ASCII case. `info` is a
// fresh statx of `directory` (device, inode and change time). On kFound,
// `actual` is the spelling on disk; when two spellings of one name exist the
// byte-wise smaller is given, so every process agrees.
NameLookup FindDirectoryName(const std::string& directory, const struct statx& info,
                             std::string_view name, std::string* actual);

// FindDirectoryName answered from a listing kept and still current, without
// listing the directory: kNotKept when there is none.
NameLookup FindKeptDirectoryName(const struct statx& info, std::string_view name,
                                 std::string* actual);

// Keeps that `name` was just found absent in every spelling from the
// directory `info` describes (a statx taken before the search), so that
// FindKeptDirectoryName answers kMissing while the directory's change time
// stays as it was. Only for a directory last changed on an earlier clock
// tick, as kept listings are: a change later in the same tick could leave
// its change time as it is.
void KeepAbsentDirectoryName(const struct statx& info, std::string_view name);

// Whether a lookup in the directory `info` describes should probe the
// name's spellings rather than list the directory: true for its first few
// lookups in this process. A one-shot process (one delivery, one status)
// never lists a folder of thousands of messages; a long-lived one soon
// lists it once and then answers from the kept listing.
bool ProbeRatherThanList(const struct statx& info);

// How many directory listings the lookups have made in this process.
uint64_t DirectoryListingCount();

}  // namespace qx::platform
