#pragma once
// The documents that record a mailbox's shares, where they live and how
// they are loaded and written back:
//   share list   <postoffice directory>\MAILROOT\<mailbox>\_Shares.xml
//                <SHARES><SHARE><DESCRIPTION>...</DESCRIPTION>
//                <RESOURCE>/Inbox/Projects</RESOURCE></SHARE>...</SHARES>
//   access list  _Access.XML in the shared folder's directory
//                <LIST><ITEM USER="Company/anne"><ACL>...</ACL></ITEM>...</LIST>
// A resource is the shared folder's path below the mailbox with '/'
// separators and a leading '/'; "/$FILEROOT/..." names a folder of the
// mailbox's file store.

#include <cstddef>
#include <string>
#include <string_view>

#include "xml/xml_document.h"

namespace qx {

// The size of the resource buffers that share removal works in.
inline constexpr size_t kShareResourceSize = 1024;

inline constexpr const char* kShareListFileName = "_Shares.xml";
inline constexpr const char* kAccessListFileName = "_Access.XML";

// "<postoffice directory>\MAILROOT\<mailbox>\_Shares.xml" (the postoffice
// directory may be a custom root). Empty when it does not fit a store path
// or the names lead out of the store (store_paths.h).
std::string ShareListPath(const char* mailbox, const char* postoffice);

// `resource` with '\' turned into '/' and a leading '/' added when missing.
std::string NormalisedShareResource(std::string_view resource);

// The normalised resource written back into a caller's buffer of `size`
// bytes (cut to fit).
void NormaliseShareResource(char* resource, size_t size);

// "SF:<postoffice>/<mailbox><resource>" for a normalised resource, the name
// under which grantees' security files know the share.
std::string ShareKey(const char* postoffice, const char* mailbox, std::string_view resource);

// The access list of a normalised resource:
// "<postoffice directory>\MAILROOT\<mailbox><resource>\_Access.XML", or for
// "/$FILEROOT<rest>" (any case) "<postoffice directory>\FILEROOT\<mailbox><rest>\_Access.XML".
// Empty when it does not fit a store path or the names (the resource too)
// lead out of the store.
std::string AccessListPath(const char* mailbox, const char* postoffice, std::string_view resource);

// A share document loaded from `path`; holds no document when it cannot be
// loaded ("General error loading index file" is printed after the reason).
// A document that is not there is the usual case (a mailbox that shares
// nothing, a grantee without a security file) and is not reported.
XmlDocument LoadShareDocument(std::string_view path);

// Writes the document back to `path` when its root still has child nodes,
// otherwise deletes the file: an empty share list or security file does not
// stay behind. False when the save or the delete fails.
bool SaveOrDeleteShareDocument(const XmlDocument& document, std::string_view path);

// `value` as an XPath string literal that stands for exactly that text,
// whatever quotes it holds, so a resource can never change the query.
std::string XpathLiteral(std::string_view value);

}  // namespace qx
