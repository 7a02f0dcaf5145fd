#pragma once
// The self-contained index transactions that other server programs run
// right after they have written or deleted message files: each opens a
// private index object for the folder under its block file (telling the
// mailbox's connected clients "COMMIT"), applies a comma-separated list of
// file names, saves, releases the block and adjusts the mailbox's and the
// folder's size caches. Two transactions on one folder, in any processes,
// run one after the other; one that finds the block taken fails at once and
// the caller may retry.

#include <cstdint>

namespace qx {

// Inserts an entry for each file of `file_list` (fields of at most 255
// bytes; a name already indexed or a file that cannot be read is skipped),
// then saves and adjusts the size caches by the inserted files' sizes.
// `flag_list` null: each file starts with no flags. A flag list without
// commas is the flags of every file; with commas field i is the flags of
// file i (files beyond the last field take the last). A list holding
// "$QXGROUP" (any case) sends the insertions to the group index
// "_groups.xml". A file's own "X-QXTempFlags:" line replaces its flags.
// 1 when the transaction ran (the index is saved when at least one entry
// was inserted); 0 when the block is busy or no document can be made: the
// folder is then marked changed ("_CHANGE.DTY") so the next open rescans it.
uint32_t DirectInsertItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list, const char* flag_list);

// Applies the flag change text `flag_changes` to the FLAGSTATUS of each
// indexed file of `file_list`, with READ following "\SEEN". The index is
// saved only when a list changed. 1 when the transaction ran; 0 when the
// block is busy, no document can be made, or an argument is null.
uint32_t DirectUpdateItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list, const char* flag_changes);

// Removes the entry of each file of `file_list` (files without one are
// skipped), saves, and lowers the size caches by the removed entries' SIZE.
// 1 when the transaction ran; 0 when the block is busy or no document can
// be made.
uint32_t DirectRemoveItems(const char* postoffice, const char* mailbox, const char* folder,
                           const char* file_list);

}  // namespace qx
