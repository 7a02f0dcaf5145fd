#pragma once
// The contact index document an index object holds for a contact folder.

#include <string_view>

#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

// Contact_OpenIndex: the folder's contact index, held by `holder` as well.
// With `reuse`, a document `holder` holds already is given back as it is.
// Otherwise a new document is made (printing that XML is not compatible
// when it cannot be); when the folder is marked changed ("_CHANGE.DTY",
// which is deleted, or no index file yet) the folder is scanned (taking the
// block file) and the index file's three times set to now; then the index
// file is loaded. Nothing when no document can be made or the index file
// does not load; `holder` then keeps what it held.
XmlDocument Contact_OpenIndex(StoreIndex* holder, std::string_view folder_path, bool reuse);

}  // namespace qx
