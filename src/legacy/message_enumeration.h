#pragma once
// Enumeration of the elements of one message folder's "_index.xml", for the
// older flat interface, optionally through a caller's XSL stylesheet. What
// the exported functions do when the call is not forwarded, and what a
// remote administration host does with a forwarded one.
//
// One enumeration per process: the document and the list of elements are
// shared by all threads (legacy/legacy_item_list.h); each thread keeps its
// own position in it. A null record gives 0, except to FindClose.

#include <cstdint>
#include <string_view>

#include "qxstore.h"

namespace qx {

// True for the folder texts whose index is built from vCard files when it
// is rebuilt here: "\Contacts" and "\Calendar", in any case.
bool IsContactScannedFolder(std::string_view folder_text);

// Starts an enumeration of the record's folder. The folder's index is first
// rebuilt when the record asks for it, or when its block file is held or
// its "_index.xml" is missing. The thread's position becomes 0, the index
// is loaded, and the list becomes its "BASEELEMENT/ELEMENT" nodes, or,
// with a filter, those nodes of the document the stylesheet makes of the
// index. Then as LocalMessageItemFindNext. 0 when the index does not load,
// the filter is not well-formed XML or cannot be applied, or the list is
// empty.
uint32_t LocalMessageItemFindFirst(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item);

// Fills the item from the list's element at the thread's position and
// moves the position on: status 0, uid the element's UID read as a signed
// decimal (0 without one), id its ID (cut to 127 bytes, empty without
// one), xml the element's XML text (cut to 2047 bytes). At the end of the
// list, the list is released and the result is 0.
uint32_t LocalMessageItemFindNext(MESSAGELISTRECORD* list, MESSAGEITEMRECORD* item);

// Releases the legacy index document; a list still open stays usable until
// it runs out. 1.
uint32_t LocalMessageItemFindClose(MESSAGELISTRECORD* list);

// The thread's next LocalMessageItemFindNext returns element number
// *position (counted from 0). 1.
uint32_t LocalMessageItemListSetPosition(uint32_t* position);

}  // namespace qx
