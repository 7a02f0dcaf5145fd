#pragma once
// The document of a task folder: tasks are not scanned from files, so a
// task folder that has never had an index starts with an empty one.

#include <cstdint>

#include "qxstore.h"

namespace qx {

// Makes sure the object holds its task folder's document. A document already
// held is kept. A folder marked changed (its "_CHANGE.DTY" is consumed)
// that has no "_index.xml" gets an empty document; otherwise "_index.xml" is
// loaded. 1 when the object holds a document afterwards, else 0 (when no
// document could be made, "Talmera Folder Indexing Library is not
// compatible with the version of XML installed on this computer\n" is
// printed).
uint32_t LoadTaskDocument(StoreIndex* index);

}  // namespace qx
