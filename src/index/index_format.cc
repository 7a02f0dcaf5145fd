#include "index/index_format.h"

namespace qx {

const char* const kSizeSumStylesheet =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"/\">"
    "<BASEELEMENT><xsl:value-of select=\"sum(BASEELEMENT/ELEMENT/SIZE)\"/></BASEELEMENT>"
    "</xsl:template>"
    "</xsl:stylesheet>";

std::string EntryByIdPath(std::string_view id) {
  std::string path = "BASEELEMENT/ELEMENT[@ID='";
  path.append(id);
  path.append("']");
  return path;
}

std::string EntryByChildValuePath(std::string_view child, std::string_view value) {
  std::string path = "BASEELEMENT/ELEMENT[";
  path.append(child);
  path.append("='");
  path.append(value);
  path.append("']");
  return path;
}

}  // namespace qx
