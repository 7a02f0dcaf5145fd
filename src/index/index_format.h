#pragma once
// The index document format shared with the server's other processes:
// `_index.xml` (and `_groups.xml`) in each folder directory, root
// BASEELEMENT with LASTUID, one ELEMENT per item file with ID and UID, and for
// messages fourteen children in a fixed order.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

inline constexpr const char* kRootElement = "BASEELEMENT";
inline constexpr const char* kLastUidAttribute = "LASTUID";
inline constexpr const char* kEntryElement = "ELEMENT";
inline constexpr const char* kIdAttribute = "ID";
inline constexpr const char* kUidAttribute = "UID";
// Present on an entry while its item has changes not yet written to its file.
inline constexpr const char* kPendingStatusElement = "QX_STATUS";

inline constexpr const char* kMessageDateElement = "MESSAGEDATE";
inline constexpr const char* kModifiedDateElement = "MODIFIEDDATE";
inline constexpr const char* kImportanceElement = "IMPORTANCE";
inline constexpr const char* kFlagStatusElement = "FLAGSTATUS";
inline constexpr const char* kAttachmentsElement = "ATTACHMENTS";
inline constexpr const char* kFromElement = "FROM";
inline constexpr const char* kToElement = "TO";
inline constexpr const char* kCcElement = "CC";
inline constexpr const char* kSubjectElement = "SUBJECT";
inline constexpr const char* kReceivedElement = "RECEIVED";
inline constexpr const char* kReadElement = "READ";
inline constexpr const char* kStateElement = "STATE";
inline constexpr const char* kClassElement = "CLASS";
inline constexpr const char* kSizeElement = "SIZE";

// The children of a message entry in the order they are written.
inline constexpr std::array<const char*, 14> kMessageEntryChildren = {
    kMessageDateElement, kModifiedDateElement, kImportanceElement, kFlagStatusElement,
    kAttachmentsElement, kFromElement,         kToElement,         kCcElement,
    kSubjectElement,     kReceivedElement,     kReadElement,       kStateElement,
    kClassElement,       kSizeElement};

// Fixed query paths, relative to the document.
inline constexpr const char* kAllEntriesPath = "BASEELEMENT/ELEMENT";
inline constexpr const char* kAllEntriesAnywherePath = "//BASEELEMENT/ELEMENT";
inline constexpr const char* kUnreadEntriesPath = "BASEELEMENT/ELEMENT[READ!='1']";

// "BASEELEMENT/ELEMENT[@ID='<id>']".
std::string EntryByIdPath(std::string_view id);
// "BASEELEMENT/ELEMENT[<child>='<value>']".
std::string EntryByChildValuePath(std::string_view child, std::string_view value);

// The stylesheet that sums the SIZE of every entry into one BASEELEMENT
// element; applied to an index document it gives the folder's size in bytes.
extern const char* const kSizeSumStylesheet;

}  // namespace qx
