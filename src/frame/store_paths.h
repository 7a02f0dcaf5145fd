#pragma once
// Store paths: the mapping from postoffice, mailbox and folder names to
// directories under the mail root, and the one join of a directory and a
// name. The files a folder directory holds are named in folder/folder_files.h.
//
// Layout, with R the mail root, P a postoffice and M a mailbox:
//   R\P\MAILROOT\M[\F]   a mailbox and its folders (INBOX for the empty name)
//   R\P\PUBROOT[\F]      public folders        ("Public", "\Public\Sales")
//   R\P\FILEROOT\M[\F]   the mailbox's files   ("$FILEROOT", "$FILEROOT/Docs")
//   R\P\VCFROOT[\F]      the postoffice's contacts ("$VCFROOT", "$VCFROOT/Work")
//
// The builders below apply that grammar to the records of different callers
// and differ in small ways those callers depend on (which separator forms
// they accept, whether they create directories, whether the postoffice may
// live elsewhere). Each contract says how; do not unify them.
//
// Unless stated otherwise a builder writes a NUL-terminated path into `out`
// (`size` bytes) and returns 1. Paths built by formatting are rejected when
// they do not fit: `out` becomes empty and the result is 0. Paths built by
// copying and appending are cut to the buffer instead.
//
// No builder leads out of the store. Each refuses, with `out` empty and 0
// (or an empty result), names that store_names.h refuses (last error 123)
// and paths that lead outside the store's roots, symbolic links included
// (store_roots.h; last error 5). Nothing is created for a refused path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

inline constexpr size_t kStorePathSize = 1024;

// True when the first occurrence of "Public" (any case) starts at the first
// or second character and is followed by the end, '\' or '/'. So "Public",
// "/Public", "\Public\Sales" and "public/x" are public; "Publications" and
// "My Public" are not. Null is not public.
bool IsPublicFolderName(const char* name);

// The same test for "$FILEROOT".
bool IsFileRootName(const char* name);

// "Public Folders Enabled" under the settings root, read on every call; 1
// when it cannot be read.
uint32_t PublicFoldersEnabled();

// True when a listing of `path` finds an entry with the directory bit.
bool DirectoryExists(const char* path);

// R\P, or the postoffice's custom root when "Allow Custom Postoffice Paths"
// is 1 and the option provider answers "PostofficeRoot" for P. Reads "Mail
// Root" into the mail root first when the mail root is still empty. 1, or 0
// for a refused postoffice name. Both are roots of the store themselves, so
// where they lead is not checked here.
uint32_t GetPostofficeDirectory(char* out, size_t size, const char* postoffice);

// The folder directory under GetPostofficeDirectory's base B, for callers
// that may see custom postoffice roots. Public names (when enabled) give
// B\PUBROOT[\rest], "$FILEROOT" names B\FILEROOT\M[\rest] (both found at the
// first or second character), any other name B\MAILROOT\M\F with no INBOX
// substitution (so "" gives "B\MAILROOT\M\"), and a null folder the mailbox
// directory B\MAILROOT\M. No contact-store rule; creates nothing. Formatted.
uint32_t GetFolderDirectory(char* out, size_t size, const char* postoffice, const char* mailbox,
                            const char* folder);

// A folder named by postoffice, mailbox and folder, and the directory
// resolved for it (empty until resolved).
struct FolderPathRecord {
  char postoffice[kStorePathSize] = {};
  char mailbox[kStorePathSize] = {};
  char folder[kStorePathSize] = {};
  char folder_directory[kStorePathSize] = {};
};

// A folder directory and the directories that resolving it creates when
// missing, in creation order (each a one-level create).
struct FolderDirectoryPlan {
  std::string directory;
  std::vector<std::string> creates;
};

// What ResolveFolderDirectory gives for a folder, without touching the disk.
// The full grammar on the mail root R (never a custom postoffice root):
// "$VCFROOT" names first, then "$FILEROOT" names (both plain prefixes, any
// case), then public names, then the mailbox tree with "" as INBOX. Only the
// final directory of the contact, file and public trees is created, so
// R\P\FILEROOT\M must exist for "$FILEROOT/Docs" to be created. Built by
// copying and appending: over-long paths are cut to 1023 bytes.
FolderDirectoryPlan PlanResolvedFolderDirectory(const char* postoffice, const char* mailbox,
                                                const char* folder);

// Sets record->folder_directory from PlanResolvedFolderDirectory and creates
// the planned directories that are missing, unless the directory is already
// set: then nothing is recomputed. Mailbox-tree directories are never
// created. A directory that cannot be created is not reported. 1, or 0 for
// a refused folder (the directory stays empty).
uint32_t ResolveFolderDirectory(FolderPathRecord* record);

// The directory rule of index objects: the same grammar and result as
// PlanResolvedFolderDirectory, but every special root on the way is created
// too (R\P\VCFROOT, R\P\PUBROOT, and R\P\FILEROOT then R\P\FILEROOT\M before
// a "$FILEROOT/" subfolder), so a file-store folder opens on a fresh store.
FolderDirectoryPlan PlanIndexFolderDirectory(const char* postoffice, const char* mailbox,
                                             const char* folder);

// Writes the index rule's directory into `out` (cut to `size` bytes) and
// creates the planned directories that are missing. 1, or 0 with `out`
// empty for a refused folder.
uint32_t BuildIndexFolderDirectory(char* out, size_t size, const char* postoffice,
                                   const char* mailbox, const char* folder);

// The legacy enumeration's folder directory. `folder` is the folder text as
// those callers keep it, with its own leading '\' ("\Inbox"). A text that
// begins with "Public" (any case, no separator test) names public folders
// when they are enabled, and only "Public/" (forward slash) names a
// subfolder: R\P\PUBROOT\rest, else R\P\PUBROOT. "\" or "/" alone is the
// mailbox directory R\P\MAILROOT\M; any other text is appended to it
// directly. Formatted.
uint32_t GetMessageFolderPath(char* out, size_t size, const char* postoffice, const char* mailbox,
                              const char* folder);

// A file in a folder as GetMessageFolderPath names the folder, with "\" and
// the file name added. Formatted.
uint32_t GetBlobFilePath(char* out, size_t size, const char* postoffice, const char* mailbox,
                         const char* folder, const char* file_name);

// The folder hierarchy's directory for a folder text. Only "$VCFROOT/" (not
// "$VCFROOT\") names a contact subfolder; a "$FILEROOT" name keeps the
// separator after "$FILEROOT" in the path (R\P\FILEROOT\M/Docs); a mailbox
// folder gets one '\' inserted unless the text begins with a separator, and
// loses one trailing separator ("Inbox\" gives R\P\MAILROOT\M\Inbox).
// Creates nothing. Formatted, the folder text appended (cut to `size`).
uint32_t GetHierarchyFolderPath(char* out, size_t size, const char* postoffice,
                                const char* mailbox, const char* folder);

// The mailbox directory "R\P\MAILROOT\M" on the mail root (never a custom
// root), where the delivery flags live. Empty when longer than limit - 1.
std::string MailboxDirectory(const char* postoffice, const char* mailbox,
                             size_t limit = kStorePathSize);

// The mailbox directory on GetPostofficeDirectory's base, so on the custom
// root where there is one: "<base>\MAILROOT\M", unbounded. Where the
// activity file, the mailbox size cache and the share list live.
std::string PostofficeMailboxDirectory(const char* postoffice, const char* mailbox);

// True when the text ends with '\' or '/'.
bool EndsWithSeparator(const char* text);

// The join of a store path, "<directory>\<name>": every path below a
// directory is put together here, so the separator is written once.
// kPresent is for texts that already hold the separator between them (a
// directory text ending in one, or a name beginning with one, as the caller
// decides): they are then put together as they are.
enum class Separator { kAdd, kPresent };

// Unbounded.
std::string JoinStorePath(std::string_view directory, std::string_view name,
                          Separator separator = Separator::kAdd);

// As the builders that format "%s\\%s": empty when the path would not fit
// `limit` bytes with its NUL.
std::string JoinStorePathWithin(std::string_view directory, std::string_view name, size_t limit,
                                Separator separator = Separator::kAdd);

// As the builders that copy and append: cut to `size` - 1 bytes (empty for
// a size of 0).
std::string JoinStorePathCut(std::string_view directory, std::string_view name, size_t size,
                             Separator separator = Separator::kAdd);

}  // namespace qx
