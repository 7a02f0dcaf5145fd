#pragma once
// XSLT 1.0 over index documents, for callers that hand in a stylesheet (the
// folder size sum, the legacy enumeration). The stylesheet and the source go
// to libxslt as text, and the result comes back as a new document.

#include "xml/xml_document.h"

namespace qx {

// Applies the stylesheet held in `stylesheet` to `source` (a document or a
// node of one, as transformNodeToObject took it) and returns the output as a
// new document. Holds no document when the stylesheet does not compile, the
// transformation fails, or its output is not an XML document. Bytes in the
// source that are not valid UTF-8, and control characters, reach the
// stylesheet as '?' and are dropped respectively; the source is not changed.
// The stylesheet sees only the source: it may not read or write files
// (document() of any file is refused, xsl:import and xsl:include make it
// fail to compile) nor reach the network.
XmlDocument TransformNode(pugi::xml_node source, const XmlDocument& stylesheet);

}  // namespace qx
