#include "pim/contact_scan.h"

#include <string>

#include "common/block_files.h"
#include "folder/folder_files.h"
#include "frame/number_text.h"
#include "frame/store_paths.h"
#include "index/index_document.h"
#include "index/index_format.h"
#include "message/item_file_name.h"
#include "pim/vcard_element.h"
#include "platform/diagnostics.h"
#include "platform/file.h"
#include "platform/file_time.h"
#include "platform/listing.h"
#include "platform/text_compare.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

constexpr const char* kContactPattern = "*.vcf";

// The folder's index block for the length of a scan. Not copyable.
class ScanBlock {
 public:
  ScanBlock(std::string path, bool take) : path_(std::move(path)), take_(take) {
    held_ = !take_ || TakeIndexBlock(path_.c_str(), true, &handle_) == 1;
  }
  ~ScanBlock() {
    if (!take_ || !held_) return;
    if (ReleaseIndexBlock(path_.c_str(), true, &handle_) == 0) {
      platform::DiagPrintf("Unable to remove blocking file");
    }
  }
  ScanBlock(const ScanBlock&) = delete;
  ScanBlock& operator=(const ScanBlock&) = delete;

  bool held() const { return held_; }

 private:
  std::string path_;
  bool take_;
  bool held_ = false;
  uintptr_t handle_ = 0;
};

bool IsContactFile(const platform::FindData& entry) {
  return (entry.attributes & platform::kAttributeDirectory) == 0 && !entry.name.empty() &&
         entry.name.front() != '_' && entry.name.front() != '.';
}

pugi::xml_node NextElement(pugi::xml_node element) { return element.next_sibling(kEntryElement); }

// One pass of the merge over a loaded (or new) document.
class ContactMerge {
 public:
  ContactMerge(std::string_view folder, const XmlDocument& document)
      : folder_path_(folder), root_(document.DocumentElement()),
        current_(root_.child(kEntryElement)) {}

  // False when the document could not take a change.
  bool Merge(const platform::FindData& file) {
    const uint32_t stamp = platform::DosStampFromFileTime(file.last_write_time);
    for (;;) {
      if (!current_) return Build(root_.append_child(kEntryElement), file, stamp);
      const std::string_view id = current_.attribute(kIdAttribute).value();
      if (id == file.name) {
        const pugi::xml_node element = current_;
        current_ = NextElement(current_);
        return IsCurrent(element, stamp) || Build(element, file, stamp);
      }
      if (!DiffersOnlyInCase(id, file.name)) {
        const pugi::xml_node next = NextElement(current_);
        root_.remove_child(current_);
        current_ = next;
        changed_ = true;
        continue;
      }
      return Build(root_.insert_child_before(kEntryElement, current_), file, stamp);
    }
  }

  // Removes the element compared last and every element after it.
  void DropRest() {
    while (current_) {
      const pugi::xml_node next = NextElement(current_);
      root_.remove_child(current_);
      current_ = next;
      changed_ = true;
    }
  }

  bool changed() const { return changed_; }

 private:
  static bool IsCurrent(pugi::xml_node element, uint32_t stamp) {
    return LeadingInt32(element.attribute(kModifiedDateAttribute).value()) ==
           static_cast<int32_t>(stamp);
  }

  // Whether the element's file is still there under a name that is the
  // listed file's name in another case. Names that could match more than
  // one file, or lead out of the folder, name no file.
  bool DiffersOnlyInCase(std::string_view id, const std::string& name) const {
    if (!IsPlainFileName(id) || id.find_first_of("*?") != std::string_view::npos) return false;
    platform::FindData found;
    return platform::FindFirst(JoinStorePath(folder_path_, id), &found) &&
           EqualsNoCase(found.name, name);
  }

  platform::File OpenListed(const std::string& name) {
    if (!folder_opened_) {
      folder_ = platform::Directory::Open(folder_path_);
      folder_opened_ = true;
    }
    if (folder_.valid()) return folder_.OpenUnlockedForReading(name);
    return platform::File::Open(JoinStorePath(folder_path_, name), platform::Access::kRead,
                                platform::Disposition::kOpenExisting);
  }

  // A file that cannot be opened leaves an element with only its ID (no
  // MODIFIEDDATE), so the next scan tries it again.
  bool Build(pugi::xml_node element, const platform::FindData& file, uint32_t stamp) {
    changed_ = true;
    if (!element) return false;
    platform::File opened = OpenListed(file.name);
    return RebuildContactElement(element, file.name, &opened, stamp);
  }

  std::string folder_path_;
  pugi::xml_node root_;
  pugi::xml_node current_;
  bool changed_ = false;
  platform::Directory folder_;
  bool folder_opened_ = false;
};

bool FitsPathBuffer(const std::string& path) { return path.size() < kStorePathSize; }

// The index as it stands, or a new empty one; *fresh says which. A folder
// never scanned has no index file: nothing to load, and nothing to report.
bool StartDocument(const XmlDocument& document, const std::string& index_path, bool rebuild,
                   bool* fresh) {
  *fresh = rebuild ||
           platform::GetFileAttributes(index_path) == platform::kInvalidAttributes ||
           !LoadDocumentFile(document, index_path);
  if (!*fresh) return true;
  document.dom().reset();
  return InitializeIndexDocument(document);
}

}  // namespace

uint32_t ScanContacts(std::string_view folder_path, bool rebuild, uint32_t mode) {
  const std::string pattern = FolderFilePath(folder_path, kContactPattern);
  const std::string index_path = FolderFilePath(folder_path, kIndexFileName);
  const std::string block_path = FolderFilePath(folder_path, kIndexBlockFileName);
  if (!FitsPathBuffer(pattern) || !FitsPathBuffer(index_path) || !FitsPathBuffer(block_path)) {
    return 0;
  }
  const XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document) return 0;
  const ScanBlock block(block_path, mode != kContactScanBlockHeld);
  if (!block.held()) return 0;

  bool fresh = false;
  if (!StartDocument(document, index_path, rebuild, &fresh)) return 0;
  ContactMerge merge(folder_path, document);
  for (platform::Listing files = platform::Listing::Open(pattern); files.valid(); files.Next()) {
    if (!IsContactFile(files.current())) continue;
    if (!merge.Merge(files.current())) return 0;
  }
  merge.DropRest();
  if (!fresh && !merge.changed()) return 1;
  return SaveDocumentFile(document, index_path);
}

}  // namespace qx
