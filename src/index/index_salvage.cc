#include "index/index_salvage.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "folder/folder_files.h"
#include "frame/number_text.h"
#include "index/index_document.h"
#include "index/index_format.h"
#include "platform/diagnostics.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "platform/listing.h"

namespace qx {

namespace {

constexpr std::string_view kEntryStart = "<ELEMENT";
constexpr std::string_view kEntryEnd = "</ELEMENT>";
constexpr std::string_view kRootStart = "<BASEELEMENT";

bool EndsTagName(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>'; }

// Where the next element named by `start` begins at or after `from`; npos
// when none does (a longer name with the same beginning is not one).
size_t FindElementStart(std::string_view text, std::string_view start, size_t from) {
  for (size_t at = text.find(start, from); at != std::string_view::npos; at = text.find(start, at + 1)) {
    const size_t after = at + start.size();
    if (after < text.size() && EndsTagName(text[after])) return at;
  }
  return std::string_view::npos;
}

// The text of the entry that begins at `at`: up to "/>" ending its start
// tag, or up to its "</ELEMENT>". Empty when it is cut off, or another entry
// begins first (entries never nest).
std::string_view EntryTextAt(std::string_view text, size_t at, size_t next_entry) {
  const size_t tag_end = text.find('>', at);
  if (tag_end == std::string_view::npos || tag_end >= next_entry) return {};
  if (text[tag_end - 1] == '/') return text.substr(at, tag_end + 1 - at);
  const size_t end = text.find(kEntryEnd, tag_end);
  if (end == std::string_view::npos || end >= next_entry) return {};
  return text.substr(at, end + kEntryEnd.size() - at);
}

// The whole entry `piece` on its own, or an empty node.
pugi::xml_node ParseEntry(std::string_view piece, pugi::xml_document* holder) {
  if (!holder->load_buffer(piece.data(), piece.size(), pugi::parse_default, pugi::encoding_utf8)) {
    return pugi::xml_node();
  }
  pugi::xml_node entry = holder->document_element();
  if (std::string_view(entry.name()) != kEntryElement) return pugi::xml_node();
  if (std::string_view(entry.attribute(kIdAttribute).value()).empty()) return pugi::xml_node();
  const pugi::xml_attribute uid = entry.attribute(kUidAttribute);
  if (uid && !WholeUnsigned32(uid.value())) return pugi::xml_node();
  return entry;
}

// LASTUID of the root's start tag, when the tag is whole and the value reads.
std::optional<uint32_t> RootLastUid(std::string_view text) {
  const size_t at = FindElementStart(text, kRootStart, 0);
  if (at == std::string_view::npos) return std::nullopt;
  const size_t tag_end = text.find('>', at);
  if (tag_end == std::string_view::npos) return std::nullopt;
  std::string tag(text.substr(at, tag_end - at));
  if (!tag.empty() && tag.back() == '/') tag.pop_back();
  tag += "/>";
  pugi::xml_document holder;
  if (!holder.load_string(tag.c_str())) return std::nullopt;
  const pugi::xml_attribute last_uid = holder.document_element().attribute(kLastUidAttribute);
  if (!last_uid) return std::nullopt;
  return WholeUnsigned32(last_uid.value());
}

}  // namespace

SalvagedIndex SalvageIndexText(std::string_view text, const XmlDocument& document) {
  SalvagedIndex salvaged;
  document.dom().reset();
  pugi::xml_node root = document.dom().append_child(kRootElement);
  std::vector<pugi::xml_node> kept;
  std::unordered_set<std::string> ids;
  uint32_t highest_uid = 0;
  pugi::xml_document holder;
  for (size_t at = FindElementStart(text, kEntryStart, 0); at != std::string_view::npos;) {
    ++salvaged.entries_found;
    const size_t next = FindElementStart(text, kEntryStart, at + 1);
    const std::string_view piece = EntryTextAt(text, at, next);
    at = next;
    if (piece.empty()) continue;
    const pugi::xml_node entry = ParseEntry(piece, &holder);
    if (!entry || !ids.insert(entry.attribute(kIdAttribute).value()).second) continue;
    kept.push_back(root.append_copy(entry));
    highest_uid = std::max(highest_uid, LeadingUnsigned32(entry.attribute(kUidAttribute).value()));
  }
  // The scan walks the entries in the order of its listing.
  std::stable_sort(kept.begin(), kept.end(), [](pugi::xml_node a, pugi::xml_node b) {
    return platform::ListingOrderLess(a.attribute(kIdAttribute).value(), b.attribute(kIdAttribute).value());
  });
  for (pugi::xml_node entry : kept) root.append_move(entry);
  salvaged.entries_kept = static_cast<uint32_t>(kept.size());
  const std::optional<uint32_t> last_uid = RootLastUid(text);
  salvaged.last_uid_read = last_uid.has_value();
  salvaged.last_uid = std::max(last_uid.value_or(0), highest_uid);
  SetDocumentLastUid(document, salvaged.last_uid);
  return salvaged;
}

bool SalvageDamagedIndex(std::string_view folder_directory, std::string_view index_path,
                         const XmlDocument& document, SalvagedIndex* salvaged) {
  std::string bytes;
  if (!platform::ReadWholeFile(index_path, &bytes) || bytes.empty()) return false;
  const std::string kept_path = FolderFilePath(folder_directory, kDamagedIndexFileName);
  const bool kept = platform::DurablyReplaceFile(kept_path, "", bytes, platform::FileKind::kIndex);
  *salvaged = SalvageIndexText(bytes, document);
  platform::DiagPrintf(
      "Fixed index file %s: kept the UIDs and flags of %u of %u entries, LASTUID %u%s; %s\n",
      std::string(index_path).c_str(), salvaged->entries_kept, salvaged->entries_found,
      salvaged->last_uid, salvaged->last_uid_read ? "" : " (recomputed)",
      kept ? ("the damaged file is kept as " + kept_path).c_str()
           : "the damaged file could not be kept");
  return true;
}

}  // namespace qx
