#pragma once
// The process-wide state of the legacy message enumeration: the legacy
// index document (the folder's "_index.xml" as last loaded) and the legacy
// item list (the elements being enumerated, in order). The position in the
// list is per thread: the enumeration cursor of frame/thread_state.h.
//
// REQUIRES for the list, the enumeration and the load below: a
// LegacyStateLock is held.

#include <cstddef>
#include <string>

#include "xml/xml_document.h"
#include "qxstore.h"

namespace qx {

inline constexpr const char* kAllElementsQuery = "BASEELEMENT/ELEMENT";
inline constexpr const char* kUnreadElementsQuery = "BASEELEMENT/ELEMENT[READ!='1']";
// The index keeps its flag words in FLAGSTATUS with a backslash, so this
// query finds nothing in an index the store wrote; callers depend on the
// query as it is.
inline constexpr const char* kNewElementsQuery = "BASEELEMENT/ELEMENT[FLAGS='/RECENT']";

class LegacyItemList {
 public:
  bool exists() const { return exists_; }
  size_t size() const { return nodes_.size(); }
  // The element at `position`, or an empty node past the end.
  pugi::xml_node At(size_t position) const;

  // The nodes `query` selects from `document` become the list; the list
  // keeps the document alive. A document that holds nothing gives an
  // empty list (which still exists).
  void Select(const XmlDocument& document, const char* query);
  void Release();

 private:
  bool exists_ = false;
  XmlDocument owner_;
  pugi::xpath_node_set nodes_;
};

struct LegacyEnumeration {
  XmlDocument document;  // the legacy index document
  LegacyItemList list;
};

// The one enumeration of the process.
LegacyEnumeration& ProcessLegacyEnumeration();

// The folder directory of a message list record (GetMessageFolderPath with
// a 2048-byte buffer); empty when it does not fit.
std::string MessageListFolderDirectory(const MESSAGELISTRECORD& list);

// Creates a new legacy index document and loads "%s\\_index.xml" of
// `folder_directory` into it. False when no document could be made or the
// file does not load; the legacy index document is then empty.
bool LoadLegacyIndexDocument(const std::string& folder_directory);

}  // namespace qx
