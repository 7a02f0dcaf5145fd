#pragma once
// The scan that brings a mail folder's index up to date with its message
// files: an ordered merge of the sorted "*.MAI" listing with the entries of
// `_index.xml`, reading only the files that are new or whose stamp changed.

#include <cstddef>
#include <cstdint>

#include "platform/socket.h"
#include "qxstore.h"

namespace qx {

// Scan modes. kScanCheckDirty says the caller already holds the folder's
// block file ("_index.blk"), so the scan must not take it again.
inline constexpr uint32_t kScanDefault = 1;
inline constexpr uint32_t kScanCheckDirty = 99;

// No caller socket to poll.
inline constexpr platform::SocketHandle kNoSocket = 0;

// "Maximum Index Rows" under the settings root, 100000 when absent. Read
// once per process and kept.
uint32_t MaximumIndexRows();
// Tests only: the next MaximumIndexRows() reads the registry again.
void ForgetMaximumIndexRows();

// Tests only: a scan with at least this many new files reads their headers
// on helper threads (64 until set; 0 sets it back).
void SetScanReadAheadMinimum(size_t files);
// Tests only: an index built from nothing goes to its file this many bytes
// of entries at a time while the folder is read (1 MB until set; 0 sets it
// back).
void SetScanTextStreamPiece(size_t bytes);

// The merge itself, on index->folder_directory. Loads `_index.xml` (a fresh
// document with `create_new`, or when it does not load), merges the listing
// into it in name order (files named with a leading '_' or '.', or of 64
// characters or more, are never indexed; at most "Maximum Index Rows" - 1
// names are listed), removes the entries of files that are gone, and saves
// the index and the folder status ("_FOLDER.DAT"). New entries get UIDs from
// the folder's last UID, renumbered when the index is rebuilt from scratch,
// and lose the store's own headers then (or when they carry temporary
// flags). `clear_recent` drops "\RECENT" from every entry. With a caller
// socket, it is read every 100 files, and a peer that has gone aborts the
// scan: nothing is saved. The folder size (KB) goes to "_DIRSIZE.TMP"
// whenever the listing found something, aborted or not.
// Takes "_index.blk" unless mode is kScanCheckDirty (kept open in mode 1).
// 1 when the index was written, 0 when no document could be made, the block
// was busy, or the scan was aborted.
uint32_t ScanFolderIndex(StoreIndex* index, bool create_new, bool clear_recent,
                         platform::SocketHandle socket, uint32_t mode);

// ScanFolderIndex with a look first at whether the folder's index file
// exists, both under one take of the block (none with kScanCheckDirty: the
// caller holds it): skipped (0) when another holder has the block; when the
// index file did not exist before, it is touched afterwards. 0 for an empty
// folder directory.
uint32_t RescanFolderIndex(StoreIndex* index, bool create_new, bool clear_recent,
                           platform::SocketHandle socket, uint32_t mode);

// The type scan: creates the folder directory when missing, sets the folder
// type from the folder name and, under the StoreIndex mutex, rescans a mail
// folder or runs the registered contact or calendar scan (tasks: nothing).
// 1.
uint32_t ScanFolderByType(StoreIndex* index, uint32_t mode);

// ScanFolders: the rescan of `folder_directory` on a private index object,
// with no socket and mode 1. 1 when the scan completed, 0 otherwise (also
// for a null or empty directory).
uint32_t ScanFolders(const char* folder_directory, bool create_new, bool clear_recent);

}  // namespace qx
