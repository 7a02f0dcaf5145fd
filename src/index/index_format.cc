#include "index/index_format.h"

#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

struct PropertyIndexName {
  const char* property;
  const char* index_name;
};

constexpr PropertyIndexName kMessageProperties[] = {
    {"PR_QX_MODIFIEDDATE", kModifiedDateElement},
    {"PR_QX_MESSAGEDATE", kMessageDateElement},
    {"PR_QX_IMPORTANCE", kImportanceElement},
    {"PR_SENSITIVITY", "SENSITIVITY"},
    {"PR_QX_FLAGSTATUS", kFlagStatusElement},
    {"PR_QX_ATTACHMENTS", kAttachmentsElement},
    {"PR_QX_FROM", kFromElement},
    {"PR_QX_TO", kToElement},
    {"PR_QX_CC", kCcElement},
    {"PR_SUBJECT", kSubjectElement},
    {"PR_QX_RECEIVED", kReceivedElement},
    {"PR_QX_READ", kReadElement},
    {"PR_QX_STATE", kStateElement},
    {"PR_QX_SIZE", kSizeElement},
    {"PR_QX_CLASS", kClassElement},
};

}  // namespace

const char* const kSizeSumStylesheet =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
    "<xsl:template match=\"/\">"
    "<BASEELEMENT><xsl:value-of select=\"sum(BASEELEMENT/ELEMENT/SIZE)\"/></BASEELEMENT>"
    "</xsl:template>"
    "</xsl:stylesheet>";

const char* IndexNameForMessageProperty(std::string_view property_name) {
  for (const PropertyIndexName& entry : kMessageProperties) {
    if (EqualsNoCase(property_name, entry.property)) return entry.index_name;
  }
  return nullptr;
}

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
