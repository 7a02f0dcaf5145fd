#pragma once
// Loading a folder's index document into its index object, building the
// index first when the folder has never had one.

#include <string_view>

#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

// LoadIndexDocument: sets the object's folder directory to `directory` and
// loads "_index.xml" ("_groups.xml" for the group type) into the object's
// document under the folder's block file (whose handle the object holds
// meanwhile). When the block is busy nothing is loaded. When the load fails
// because the folder has no index file, the folder is scanned, the file
// touched and loaded once more; a mail folder's index file that exists but
// does not load is rebuilt by the scan from what it still holds whole
// (index_salvage.h) and loaded once more. Returns the object's document, or
// none (and the object then holds none) when nothing loaded.
// REQUIRES: the StoreIndex mutex is held.
XmlDocument LoadIndexDocument(StoreIndex* index, std::string_view directory);

}  // namespace qx
