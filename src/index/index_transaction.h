#pragma once
// The transaction path of the index: a private index object is opened under
// the folder's block file, changed by the item operations, saved and
// closed, the block held from open to close. Other server programs use it
// right after they have written or deleted message files.
//
// The block's handle is either kept open until the close (keep_open: no
// other process can open or delete the block file meanwhile) or closed at
// once (only the file's existence marks the block).

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Names the object (its folder type follows the folder name, unless it is
// the group type 54), computes its folder directory, tells the mailbox's
// connected clients "COMMIT" for the folder when a mailbox is named, takes
// the folder's block file ("_groups.blk" for groups, else "_index.blk") and
// loads the index file into the object's document (created when the object
// holds none). A mail index file that does not load is first rebuilt, under
// the block, from what it still holds whole and the folder's files (as the
// scan does); when that fails too, or for other folder types, the document
// starts empty. The stamp of the
// index file is kept (0xFFFFFFFF when there is none). 1 with the block held
// (with keep_open its handle goes to *block_handle, or to the object's
// block_handle when that is null); 0 when the block is busy, no document
// can be made, or the names lead out of the store (store_paths.h: nothing
// is touched), and the block is then not held.
uint32_t OpenIndexForTransaction(StoreIndex* index, const char* postoffice, const char* mailbox,
                                 const char* folder, bool keep_open, uintptr_t* block_handle);
uint32_t OpenIndexForTransaction(StoreIndex* index, const char* postoffice, const char* mailbox,
                                 const char* folder);

// With `save`: writes the document to the index file (creating the folder
// directory when missing) under the StoreIndex mutex. When the file's stamp
// just before the write is not the one kept at the open, another writer was
// there: the commit fails although the file was written. A commit that
// succeeded caches the folder status in
// "<postoffice dir>\MAILROOT\<mailbox>\<folder>\_FOLDER.DAT"; one that
// failed marks the folder dirty ("_CHANGE.DTY"). Then, saved or not, the
// block is released (with keep_open the handle in *block_handle, or in the
// object's block_handle when that is null, is closed first). 1 always, 0
// only for a null object.
uint32_t SaveAndCloseIndex(StoreIndex* index, bool save, bool keep_open, uintptr_t* block_handle);
uint32_t SaveAndCloseIndex(StoreIndex* index, bool save);

}  // namespace qx
