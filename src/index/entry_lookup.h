#pragma once
// The entries of a held index document by ID, for transactions that look up
// many file names in one document: built in one pass, then each lookup costs
// a hash probe (or a map search) instead of a walk of every entry. The
// answers are those of the walks they replace, for any document, sorted or
// not, duplicates included.

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/xml_document.h"

namespace qx {

class EntryLookup {
 public:
  // Indexes `document` as it is now. The caller reports every entry it
  // inserts or removes afterwards (Inserted, Removed), and keeps the
  // document alive while the lookup is used.
  explicit EntryLookup(const XmlDocument& document);

  // What FindItemElement(document, id) returns: the first ELEMENT, in
  // document order, of the BASEELEMENT roots whose ID is `id`.
  pugi::xml_node Find(std::string_view id) const;

  // The first ELEMENT child of the document element, in document order,
  // whose ID sorts after `id` byte by byte; an empty node when none does.
  // That is where a new entry for `id` goes.
  pugi::xml_node FirstEntryAfter(std::string_view id);

  // `entry` was just inserted where FirstEntryAfter said (appended when it
  // gave none), for an ID that Find did not find.
  void Inserted(pugi::xml_node entry);
  // `entry` is about to be removed from the document.
  void Removed(pugi::xml_node entry);

 private:
  void BuildRecords();

  pugi::xml_node document_element_;
  // ID to the entries under BASEELEMENT roots holding it, in document order.
  std::unordered_map<std::string, std::vector<pugi::xml_node>> by_id_;
  // The entries under the document element whose ID is greater than every
  // ID before them, by ID: the first entry after an ID is always one of
  // them, the first of them after it.
  std::map<std::string, pugi::xml_node, std::less<>> records_;
  bool records_current_ = false;
};

}  // namespace qx
