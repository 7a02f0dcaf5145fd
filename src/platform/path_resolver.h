#pragma once
// Store paths are built with '\' as the original system built them. This maps
// such a path to the file system at the moment of the call: both '\' and '/'
// separate components, and existing components are found without regard to
// case (the store creates "INBOX" and later asks for "Inbox"). A component
// that does not exist keeps the spelling given, so it is created that way.
//
// Doubled separators count as one. A leading separator makes the path
// absolute. A drive prefix such as "D:" has no meaning here: it stays an
// ordinary first component, so "D:\PO1" is the relative path "D:/PO1".
// Case is folded for ASCII letters only; other bytes must match exactly.

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::platform {

// The native path for a store path. When the exact spelling exists it is used
// after one stat, without a directory scan.
std::string ToNativePath(std::string_view store_path);

// How many directory scans the resolver has made in this process (for tests
// that check the exact-spelling fast path).
uint64_t ResolverScanCount();

// A store path mapped to the file system, with what the mapping learned.
struct ResolvedPath {
  std::string native;
  // `native` names an existing entry, described by `info` (kTimesStatxMask,
  // symbolic links followed).
  bool exists = false;
  // A component before the last is missing or is not a directory: the
  // original reported "path not found" (3) rather than "file not found" (2).
  bool parent_missing = false;
  // errno of the failed lookup when !exists.
  int error = 0;
  struct statx info {};
};

// The resolution itself: one statx when the exact spelling exists; otherwise
// the missing components are looked up without regard to case in directory
// listings kept between calls (directory_names.h). A missing last name in a
// large directory (a mail folder) is looked up as ResolveUsuallyMissing
// looks names up, so that a missing index costs no listing of the folder.
ResolvedPath ResolvePath(std::string_view store_path);

// ResolvePath for names that are usually absent (block and flag files): a
// kept listing of the parent folder answers first, so an absent name costs
// no failed stat of its own; without one, a short name is looked up in each
// of its spellings (name_spellings.h) rather than by listing a folder of
// thousands of messages. Where two spellings exist, the byte-wise smaller is
// given even when the other is spelled as asked.
ResolvedPath ResolveUsuallyMissing(std::string_view store_path);

// The native path for a store path whose last component is taken as
// spelled: a name its caller made unique, or a temporary of its own. Only
// the directories before it are looked up without regard to case.
std::string NativePathWithNameAsSpelled(std::string_view store_path);

// The store path with '/' separators and doubled separators collapsed, as
// spelled, without touching the file system. Callers try this first when the
// system call itself reports a missing entry cheaply (open, unlink).
std::string SpelledNativePath(std::string_view store_path);

}  // namespace qx::platform
