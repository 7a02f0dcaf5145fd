#include "store/folder_index_file.h"

#include "common/file_iterator.h"
#include "folder/folder_files.h"
#include "frame/file_helpers.h"
#include "index/index_document.h"
#include "platform/text_compare.h"
#include "platform/diagnostics.h"
#include "platform/directory_lock.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "platform/file_version.h"
#include "platform/random_id.h"
#include "store/well_known_folders.h"

namespace qx {

using platform::EqualsNoCase;

namespace {

bool Exists(const std::string& path) {
  return platform::GetFileAttributes(path) != platform::kInvalidAttributes;
}

// A name is written inside CDATA; a "]]>" in it would end the section
// early, so it is split across two sections, which read back as the name.
std::string CdataName(std::string_view name) {
  std::string text = "<![CDATA[";
  size_t start = 0;
  for (size_t end; (end = name.find("]]>", start)) != std::string_view::npos; start = end + 2) {
    text.append(name.substr(start, end + 2 - start));
    text += "]]><![CDATA[";
  }
  text.append(name.substr(start));
  text += "]]>";
  return text;
}

// A temporary name beside the hierarchy files that no other writer uses, so
// that two processes writing the same file never write into one file.
std::string UniqueTemporaryPath(std::string_view directory) {
  const std::string name = "_folder." + platform::GuidText(platform::NewGuid()) + ".tmp";
  return FolderFilePath(directory, name);
}

// Readers see the old contents or the new, never half a file. The list and
// its stale flag are synced as indexes are: an empty or lost list after a
// crash is not noticed as stale.
bool ReplaceFileContents(std::string_view directory, const std::string& path,
                         const std::string& text) {
  return platform::DurablyReplaceFile(path, UniqueTemporaryPath(directory), text,
                                      platform::FileKind::kIndex);
}

// Takes the stale flag down when it is still the writing seen before the
// directory was read. REQUIRES: the directory's turn (DirectoryLock) held,
// so that no flag raised after that reading can be removed.
void ClearFlagIfUnchanged(std::string_view directory, const platform::FileVersion& seen) {
  const std::string flag = FolderDirtyPath(directory);
  if (platform::FileVersionOf(flag) == seen) platform::DeleteFile(flag);
}

// REQUIRES: the directory's turn held.
bool RaiseFlag(std::string_view directory) {
  return ReplaceFileContents(directory, FolderDirtyPath(directory), "DIRTY");
}

}  // namespace

std::string FolderIndexPath(std::string_view directory) {
  return FolderFilePath(directory, kFolderIndexFileName);
}

std::string FolderDirtyPath(std::string_view directory) {
  return FolderFilePath(directory, kFolderDirtyFileName);
}

std::string FolderIndexText(const std::vector<std::string>& names) {
  std::string text = "<folderindex>";
  for (const std::string& name : names) {
    text += "<folder><name>";
    text += CdataName(name);
    text += "</name></folder>";
  }
  text += "</folderindex>";
  return text;
}

std::vector<std::string> ChildDirectoryNames(std::string_view directory, bool canonical_names) {
  std::vector<std::string> names;
  FileIterator entries(std::string(directory) + "\\*", platform::kAttributeDirectory);
  for (std::string name = entries.First(); entries.More(); name = entries.Next()) {
    if (name == "." || name == "..") continue;
    const char* canonical = canonical_names ? CanonicalSpecialFolderName(name) : nullptr;
    names.push_back(canonical != nullptr ? std::string(canonical) : name);
  }
  return names;
}

std::optional<std::vector<std::string>> RebuildFolderIndex(std::string_view directory,
                                                           bool canonical_names) {
  // Rebuilds and raisings of the flag take turns: a slower rebuild can then
  // never put an older list over a newer one, and no reader finds the flag
  // gone while the list on disk lacks a folder.
  const platform::DirectoryLock turn(directory);
  const std::string dirty_path = FolderDirtyPath(directory);
  const std::optional<platform::FileVersion> flag_seen = platform::FileVersionOf(dirty_path);
  std::vector<std::string> names = ChildDirectoryNames(directory, canonical_names);
  if (!ReplaceFileContents(directory, FolderIndexPath(directory), FolderIndexText(names))) {
    return std::nullopt;
  }
  // When the directory changed after it was read, the list stays stale.
  // Otherwise the flag goes, once the new list is in place (so no reader
  // takes the old list for fresh) and only when nobody raised it again.
  if (ChildDirectoryNames(directory, canonical_names) != names) {
    RaiseFlag(directory);
  } else if (flag_seen) {
    ClearFlagIfUnchanged(directory, *flag_seen);
  }
  return names;
}

bool FolderIndexIsStale(std::string_view directory) {
  return !Exists(FolderIndexPath(directory)) || Exists(FolderDirtyPath(directory));
}

bool MarkFolderIndexDirty(std::string_view directory) {
  const platform::DirectoryLock turn(directory);
  return RaiseFlag(directory);
}

std::optional<std::vector<std::string>> ReadFolderIndexNames(std::string_view directory) {
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document) return std::nullopt;
  if (!LoadDocumentFile(document, FolderIndexPath(directory))) {
    platform::DiagPrintf("General error loading index file\n");
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (const pugi::xpath_node& folder : SelectNodes(document.DocumentElement(), "./folder")) {
    names.push_back(NodeText(folder.node()));
  }
  return names;
}

bool FolderIndexListsName(std::string_view directory, std::string_view name) {
  if (!Exists(FolderIndexPath(directory))) return false;
  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document || !LoadDocumentFile(document, FolderIndexPath(directory))) return false;
  for (const pugi::xpath_node& listed :
       SelectNodes(document.DocumentElement(), "//folderindex/folder")) {
    if (EqualsNoCase(NodeText(listed.node().child("name")), name)) return true;
  }
  return false;
}

uint32_t FolderIndexStamp(std::string_view directory) {
  return GetFileDosStamp(FolderIndexPath(directory).c_str());
}

}  // namespace qx
