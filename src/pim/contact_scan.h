#pragma once
// The contact index of a folder directory ("_index.xml") kept in step with
// the folder's vCard files ("*.vcf", one contact each; names beginning with
// '_' or '.', and directories, are never contacts). Other processes of the
// server scan the same folders: the index block file ("_index.blk") keeps
// two scans apart, and a scan that finds it taken gives up at once.

#include <cstdint>
#include <string_view>

namespace qx {

// The mode in which the caller holds the folder's block file already.
inline constexpr uint32_t kContactScanBlockHeld = 99;

// ScanContacts. `folder_path` is the folder directory without a trailing
// separator. Unless `mode` is kContactScanBlockHeld, the block file is
// created first (create-new, no sharing, no wait: 0 when it exists or
// cannot be made) and deleted afterwards (retried once a second up to 80
// times; "Unable to remove blocking file" when it stays), also when the
// scan fails. `rebuild` starts from an empty index; otherwise the index
// file is loaded (an empty one when it does not load).
//
// The merge walks the listed files in name order with the index's ELEMENTs
// in document order, exactly as the other programs of the server do, since
// they read the result:
//  - no element left: a new element is appended for the file;
//  - the element's ID is the file's name (byte for byte): it is rebuilt
//    from the file when its MODIFIEDDATE differs from the file's stamp;
//  - otherwise, when the element's file is gone, or is there under a name
//    that differs from this file's other than in case, the element is
//    removed and the next one compared with the same file; when the two
//    names differ only in case, a new element for the file goes before it
//    and it stays the one compared with the next file.
// A file added between scans therefore takes its place in name order (the
// elements after it are read again); the elements left after the last file
// are removed. The index file is written when the walk changed anything or
// the file did not load.
//
// 1 when the index file holds the folder's contacts; 0 when no document
// could be made, the path is too long (1024 bytes for each of its names),
// the block file could not be taken, or the document or its file could not
// be written.
uint32_t ScanContacts(std::string_view folder_path, bool rebuild, uint32_t mode);

}  // namespace qx
