#pragma once
// Inserting one entry into a held index document: the entry of a new item
// file, its UID taken from the root's LASTUID and its place kept in byte
// order of the file names, so that other processes find entries where they
// expect them.

#include <cstdint>
#include <string_view>

#include "message/message_headers.h"
#include "qxstore.h"

namespace qx {

class EntryLookup;

struct EntryInsertOptions {
  // Read the item file's headers for the entry's children (else the entry
  // gets only its ID and UID).
  bool read_file = true;
  // Empty the record's flag word list before the file is read; otherwise the
  // list the caller put there becomes the entry's flags (a file's own
  // "X-QXTempFlags:" line still replaces it).
  bool clear_flags = true;
};

// Inserts an entry for `file_name` into the object's document. `record` may
// be null; when given it is reset and then carries what the file gave (its
// file_size is the entry's SIZE). In a mail folder the entry gets the UID
// LASTUID + 1 (which becomes the new LASTUID and the object's last UID)
// and, with read_file, the fourteen message children from the file at
// "<folder directory>\<file_name>"; other folder types get an entry holding
// only its ID. The entry goes before the first entry whose ID is greater in
// a byte comparison (appended when none is) and becomes the current entry.
// The modified flag is left alone: the caller commits.
// 1 inserted; 0 when an entry with this ID exists (the document is left as
// it was), the name is empty or leads out of the folder (store_names.h,
// last error 123), the object holds no index document, the file cannot be
// read, or a mail folder's LASTUID is 0xFFFFFFFF (UIDs never wrap; a line
// says so). Takes the StoreIndex mutex. With `lookup` (built on the
// object's document) the ID check and the place come from it, in constant
// or logarithmic time, and it is told of the new entry.
uint32_t InsertIndexEntry(StoreIndex* index, std::string_view file_name,
                          const EntryInsertOptions& options, MessageHeaders* record,
                          EntryLookup* lookup = nullptr);

// StoreIndex_InsertItem: InsertIndexEntry with the flag list cleared and
// read_file as given (1 reads the file). 0 for a null object or name.
uint32_t StoreIndexInsertItem(StoreIndex* index, const char* file_name, uint32_t read_file);

}  // namespace qx
