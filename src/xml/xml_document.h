#pragma once
// The XML documents of the store (folder index, group index, folder
// hierarchy, shares), held through pugixml. An XmlDocument is a counted
// reference: the index object, the per-thread records and the legacy
// enumeration may all hold the same document, which lives until the last
// reference goes. Nodes are plain pugi::xml_node handles (parent(),
// first_child(), next_sibling() are pugixml's own); a handle is valid while
// its document lives and the node has not been removed. Remove a node only
// after taking the handle of the node that follows it.

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace qx {

class XmlDocument {
 public:
  // Holds no document.
  XmlDocument() = default;

  // A new, empty document.
  static XmlDocument New();

  explicit operator bool() const { return document_ != nullptr; }
  bool Same(const XmlDocument& other) const { return document_ == other.document_; }
  // References held to this document (0 when none is held).
  long use_count() const { return document_.use_count(); }

  // REQUIRES: a document is held.
  pugi::xml_document& dom() const { return *document_; }

  // The root element, or an empty node when there is none (or no document).
  pugi::xml_node DocumentElement() const;

  // Replaces the contents with the parsed `text` (loadXML). False, with the
  // document left empty, when the text does not parse or has no root element.
  bool LoadXml(std::string_view text) const;

  // The whole document as text (UTF-8, no declaration, no formatting).
  std::string Xml() const;

  // A pointer-sized handle holding one more reference, for the C records
  // that keep a document (never 0 for a held document; 0 when none is held).
  // Every handle must be given back with ReleaseHandle.
  uintptr_t NewHandle() const;
  // A reference to the document of a handle; the handle stays valid.
  static XmlDocument FromHandle(uintptr_t handle);
  // Drops the handle's reference. A 0 handle is ignored.
  static void ReleaseHandle(uintptr_t handle);
  // Whether `handle` holds this document (a 0 handle holds none), without
  // taking a reference: a cheap identity check for holders of handles.
  // Inline: every call of the store-item interface asks.
  bool SameAsHandle(uintptr_t handle) const {
    if (handle == 0) return document_ == nullptr;
    return BodyOf(handle)->document == document_;
  }
  // What the holder of `handle` keeps with the document for as long as it
  // holds that handle (the folder index keeps where its document was read
  // from and what it changed since); empty for a new handle, dropped with
  // the handle. Null for a 0 handle.
  static std::any* HandleAnnex(uintptr_t handle);

 private:
  // What a handle points at: one reference, and the holder's annex.
  struct HandleBody {
    std::shared_ptr<pugi::xml_document> document;
    std::any annex;
  };
  static HandleBody* BodyOf(uintptr_t handle) { return reinterpret_cast<HandleBody*>(handle); }

  explicit XmlDocument(std::shared_ptr<pugi::xml_document> document)
      : document_(std::move(document)) {}

  std::shared_ptr<pugi::xml_document> document_;
};

// How documents are written: UTF-8, no declaration, no added white space.
inline constexpr unsigned kXmlSaveFormat = pugi::format_raw | pugi::format_no_declaration;

// The nodes an XPath 1.0 expression selects from `context`, in document
// order (selectNodes). An expression that does not compile selects nothing.
pugi::xpath_node_set SelectNodes(pugi::xml_node context, const char* xpath);

// The first node that SelectNodes would give, or an empty node.
pugi::xml_node SelectSingleNode(pugi::xml_node context, const char* xpath);

// The value of attribute `name`, or null when the node has none.
const char* AttributeValue(pugi::xml_node node, const char* name);

// Sets attribute `name`, adding it when missing. False on an empty node.
bool SetAttribute(pugi::xml_node node, const char* name, std::string_view value);

// A new element `name` as the last child of `parent`, or before `before`
// when that is a child of `parent`. Empty on failure.
pugi::xml_node AppendElement(pugi::xml_node parent, const char* name);
pugi::xml_node InsertElementBefore(pugi::xml_node parent, const char* name, pugi::xml_node before);

// Moves `node` (already in the same document) to stand before `before`
// under `parent` (insertBefore of an existing node). Empty on failure.
pugi::xml_node MoveBefore(pugi::xml_node parent, pugi::xml_node node, pugi::xml_node before);

// Removes `child` from `parent`; its handle is invalid afterwards.
bool RemoveChild(pugi::xml_node parent, pugi::xml_node child);

// The text of a node and its descendants joined, as the DOM's `text` gave it.
std::string NodeText(pugi::xml_node node);

// The node serialised as XML (its `xml`).
std::string NodeXml(pugi::xml_node node);

}  // namespace qx
