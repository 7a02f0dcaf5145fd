#include "frame/store_paths.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "frame/option_provider.h"
#include "frame/registry_readers.h"
#include "frame/settings.h"
#include "frame/bounded_text.h"
#include "frame/store_names.h"
#include "frame/store_roots.h"
#include "frame/text_tokens.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/text_compare.h"

namespace qx {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

using platform::StartsWithNoCase;

// The first occurrence of `word` when it starts at the first or second
// character and ends the name or is followed by a separator; else null.
const char* LeadingWord(const char* name, const char* word) {
  if (name == nullptr) return nullptr;
  const char* found = FindNoCase(name, word);
  if (found == nullptr || found - name > 1) return nullptr;
  char after = found[std::strlen(word)];
  return after == '\0' || IsSeparator(after) ? found : nullptr;
}

const char* MailRoot() { return Settings().mail_root; }

// The subfolder of a public name: the text after "Public/" or "Public\"
// once one leading separator is skipped; null when it names the public root.
const char* PublicSubfolder(const char* name) {
  if (IsSeparator(name[0])) ++name;
  if (StartsWithNoCase(name, "Public") && IsSeparator(name[6])) return name + 7;
  return nullptr;
}

// The text after "$VCFROOT" or "$FILEROOT" when a separator follows it.
const char* RootSubfolder(const char* name, size_t word_length) {
  return IsSeparator(name[word_length]) ? name + word_length + 1 : nullptr;
}

uint32_t Rejected(char* out, size_t size) {
  if (out != nullptr && size > 0) out[0] = '\0';
  return 0;
}

// The end of every formatted builder: a path that fit and leads inside the
// store's roots, or none.
uint32_t Confined(bool fits, char* out, size_t size, const char* postoffice) {
  return fits && IsInsideStore(out, postoffice) ? 1 : Rejected(out, size);
}

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

// A path assembled by joins, each cut at 1023 bytes as the bounded copy and
// append cut.
class CutPath {
 public:
  explicit CutPath(std::string_view root) : text_(root.substr(0, kStorePathSize - 1)) {}
  CutPath& Join(const char* name) {
    text_ = JoinStorePathCut(text_, name, kStorePathSize);
    return *this;
  }
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

enum class CreateRoots { kFinalOnly, kAll };

// Rules 1 to 4 on the mail root. With kFinalOnly only the last directory of
// a contact, file or public path is planned for creation; with kAll every
// special root on the way is too.
FolderDirectoryPlan PlanFolderDirectory(const char* postoffice, const char* mailbox,
                                        const char* folder, CreateRoots roots) {
  if (!AcceptStoreNames(postoffice, mailbox, folder)) return {};
  postoffice = OrEmpty(postoffice);
  mailbox = OrEmpty(mailbox);
  folder = OrEmpty(folder);
  CutPath base(MailRoot());
  base.Join(postoffice);
  FolderDirectoryPlan plan;
  auto plan_root_then = [&](CutPath root, const char* subfolder) {
    if (subfolder == nullptr) {
      plan.directory = root.str();
      plan.creates.push_back(plan.directory);
      return;
    }
    if (roots == CreateRoots::kAll) plan.creates.push_back(root.str());
    plan.directory = root.Join(subfolder).str();
    plan.creates.push_back(plan.directory);
  };
  if (StartsWithNoCase(folder, "$VCFROOT")) {
    plan_root_then(CutPath(base).Join("VCFROOT"), RootSubfolder(folder, 8));
  } else if (StartsWithNoCase(folder, "$FILEROOT")) {
    if (roots == CreateRoots::kAll) plan.creates.push_back(CutPath(base).Join("FILEROOT").str());
    plan_root_then(CutPath(base).Join("FILEROOT").Join(mailbox), RootSubfolder(folder, 9));
  } else if (IsPublicFolderName(folder) && PublicFoldersEnabled() != 0) {
    plan_root_then(CutPath(base).Join("PUBROOT"), PublicSubfolder(folder));
  } else {
    CutPath mailbox_folder = CutPath(base).Join("MAILROOT").Join(mailbox);
    plan.directory = mailbox_folder.Join(folder[0] != '\0' ? folder : "INBOX").str();
  }
  // Every directory planned for creation lies on the way to this one.
  if (!IsInsideStore(plan.directory, postoffice)) return {};
  return plan;
}

void CreateMissingDirectories(const std::vector<std::string>& directories) {
  for (const std::string& directory : directories) {
    if (!DirectoryExists(directory.c_str())) platform::CreateDirectory(directory);
  }
}

}  // namespace

bool IsPublicFolderName(const char* name) { return LeadingWord(name, "Public") != nullptr; }

bool IsFileRootName(const char* name) { return LeadingWord(name, "$FILEROOT") != nullptr; }

uint32_t PublicFoldersEnabled() {
  return RegistryDwordOr(kSettingsRoot, "Public Folders Enabled", 1);
}

bool DirectoryExists(const char* path) {
  platform::FindData found;
  return path != nullptr && platform::FindFirst(path, &found) &&
         (found.attributes & platform::kAttributeDirectory) != 0;
}

uint32_t GetPostofficeDirectory(char* out, size_t size, const char* postoffice) {
  if (out == nullptr || size == 0) return 1;
  if (!AcceptStoreNames(postoffice, nullptr, nullptr)) return Rejected(out, size);
  postoffice = OrEmpty(postoffice);
  LibrarySettings& settings = Settings();
  if (settings.mail_root[0] == '\0') {
    ReadRegistryString(kSettingsRoot, "Mail Root", settings.mail_root, sizeof settings.mail_root);
  }
  if (settings.allow_custom_postoffice_paths == 1) {
    char custom_root[kOptionValueSize];
    if (GetPostofficeOption(postoffice, "PostofficeRoot", custom_root, sizeof custom_root) != 0 &&
        custom_root[0] != '\0') {
      CopyBounded(out, custom_root, size);
      return 1;
    }
  }
  CopyBounded(out, JoinStorePathWithin(settings.mail_root, postoffice, size).c_str(), size);
  return 1;
}

uint32_t GetFolderDirectory(char* out, size_t size, const char* postoffice, const char* mailbox,
                            const char* folder) {
  if (out == nullptr || size == 0) return 0;
  if (!AcceptStoreNames(postoffice, mailbox, folder)) return Rejected(out, size);
  mailbox = OrEmpty(mailbox);
  char base[kStorePathSize];
  GetPostofficeDirectory(base, sizeof base, postoffice);
  bool fits;
  if (folder == nullptr) {
    fits = FormatBounded(out, size, "%s\\MAILROOT\\%s", base, mailbox);
  } else if (IsPublicFolderName(folder) && PublicFoldersEnabled() != 0) {
    const char* subfolder = PublicSubfolder(folder);
    fits = subfolder != nullptr ? FormatBounded(out, size, "%s\\PUBROOT\\%s", base, subfolder)
                                : FormatBounded(out, size, "%s\\PUBROOT", base);
  } else if (const char* file_root = LeadingWord(folder, "$FILEROOT")) {
    const char* subfolder = RootSubfolder(file_root, 9);
    fits = subfolder != nullptr
               ? FormatBounded(out, size, "%s\\FILEROOT\\%s\\%s", base, mailbox, subfolder)
               : FormatBounded(out, size, "%s\\FILEROOT\\%s", base, mailbox);
  } else {
    fits = FormatBounded(out, size, "%s\\MAILROOT\\%s\\%s", base, mailbox, folder);
  }
  return Confined(fits, out, size, postoffice);
}

FolderDirectoryPlan PlanResolvedFolderDirectory(const char* postoffice, const char* mailbox,
                                                const char* folder) {
  return PlanFolderDirectory(postoffice, mailbox, folder, CreateRoots::kFinalOnly);
}

uint32_t ResolveFolderDirectory(FolderPathRecord* record) {
  if (record == nullptr) return 0;
  if (record->folder_directory[0] != '\0') return 1;
  FolderDirectoryPlan plan =
      PlanResolvedFolderDirectory(record->postoffice, record->mailbox, record->folder);
  if (plan.directory.empty()) return 0;
  CopyBounded(record->folder_directory, plan.directory.c_str(), sizeof record->folder_directory);
  CreateMissingDirectories(plan.creates);
  return 1;
}

FolderDirectoryPlan PlanIndexFolderDirectory(const char* postoffice, const char* mailbox,
                                             const char* folder) {
  return PlanFolderDirectory(postoffice, mailbox, folder, CreateRoots::kAll);
}

uint32_t BuildIndexFolderDirectory(char* out, size_t size, const char* postoffice,
                                   const char* mailbox, const char* folder) {
  if (out == nullptr || size == 0) return 0;
  FolderDirectoryPlan plan = PlanIndexFolderDirectory(postoffice, mailbox, folder);
  if (plan.directory.empty()) return Rejected(out, size);
  CopyBounded(out, plan.directory.c_str(), size);
  CreateMissingDirectories(plan.creates);
  return 1;
}

uint32_t GetMessageFolderPath(char* out, size_t size, const char* postoffice, const char* mailbox,
                              const char* folder) {
  if (out == nullptr || size == 0) return 0;
  if (!AcceptStoreNames(postoffice, mailbox, folder)) return Rejected(out, size);
  postoffice = OrEmpty(postoffice);
  mailbox = OrEmpty(mailbox);
  folder = OrEmpty(folder);
  bool fits;
  if (StartsWithNoCase(folder, "Public") && PublicFoldersEnabled() != 0) {
    fits = StartsWithNoCase(folder, "Public/")
               ? FormatBounded(out, size, "%s\\%s\\PUBROOT\\%s", MailRoot(), postoffice,
                               folder + 7)
               : FormatBounded(out, size, "%s\\%s\\PUBROOT", MailRoot(), postoffice);
  } else if (IsSeparator(folder[0]) && folder[1] == '\0') {
    fits = FormatBounded(out, size, "%s\\%s\\MAILROOT\\%s", MailRoot(), postoffice, mailbox);
  } else {
    fits = FormatBounded(out, size, "%s\\%s\\MAILROOT\\%s%s", MailRoot(), postoffice, mailbox,
                         folder);
  }
  return Confined(fits, out, size, postoffice);
}

uint32_t GetBlobFilePath(char* out, size_t size, const char* postoffice, const char* mailbox,
                         const char* folder, const char* file_name) {
  if (out == nullptr || size == 0) return 0;
  if (!AcceptStoreNames(postoffice, mailbox, folder) || !AcceptStoreFileName(OrEmpty(file_name))) {
    return Rejected(out, size);
  }
  postoffice = OrEmpty(postoffice);
  mailbox = OrEmpty(mailbox);
  folder = OrEmpty(folder);
  file_name = OrEmpty(file_name);
  bool fits;
  if (StartsWithNoCase(folder, "Public") && PublicFoldersEnabled() != 0) {
    fits = StartsWithNoCase(folder, "Public/")
               ? FormatBounded(out, size, "%s\\%s\\PUBROOT\\%s\\%s", MailRoot(), postoffice,
                               folder + 7, file_name)
               : FormatBounded(out, size, "%s\\%s\\PUBROOT\\%s", MailRoot(), postoffice,
                               file_name);
  } else if (IsSeparator(folder[0]) && folder[1] == '\0') {
    fits = FormatBounded(out, size, "%s\\%s\\MAILROOT\\%s\\%s", MailRoot(), postoffice, mailbox,
                         file_name);
  } else {
    fits = FormatBounded(out, size, "%s\\%s\\MAILROOT\\%s%s\\%s", MailRoot(), postoffice,
                         mailbox, folder, file_name);
  }
  return Confined(fits, out, size, postoffice);
}

uint32_t GetHierarchyFolderPath(char* out, size_t size, const char* postoffice,
                                const char* mailbox, const char* folder) {
  if (out == nullptr || size == 0) return 0;
  if (!AcceptStoreNames(postoffice, mailbox, folder)) return Rejected(out, size);
  postoffice = OrEmpty(postoffice);
  mailbox = OrEmpty(mailbox);
  folder = OrEmpty(folder);
  const char* root = MailRoot();
  if (StartsWithNoCase(folder, "$VCFROOT")) {
    bool fits = folder[8] == '/'
                    ? FormatBounded(out, size, "%s\\%s\\VCFROOT\\%s", root, postoffice, folder + 9)
                    : FormatBounded(out, size, "%s\\%s\\VCFROOT", root, postoffice);
    return Confined(fits, out, size, postoffice);
  }
  if (StartsWithNoCase(folder, "$FILEROOT")) {
    bool fits = IsSeparator(folder[9])
                    ? FormatBounded(out, size, "%s\\%s\\FILEROOT\\%s%s", root, postoffice,
                                    mailbox, folder + 9)
                    : FormatBounded(out, size, "%s\\%s\\FILEROOT\\%s", root, postoffice, mailbox);
    return Confined(fits, out, size, postoffice);
  }
  if (IsPublicFolderName(folder) && PublicFoldersEnabled() != 0) {
    const char* subfolder = PublicSubfolder(folder);
    bool fits = subfolder != nullptr
                    ? FormatBounded(out, size, "%s\\%s\\PUBROOT\\%s", root, postoffice, subfolder)
                    : FormatBounded(out, size, "%s\\%s\\PUBROOT", root, postoffice);
    return Confined(fits, out, size, postoffice);
  }
  if (!FormatBounded(out, size, "%s\\%s\\MAILROOT\\%s", root, postoffice, mailbox)) {
    return Rejected(out, size);
  }
  const Separator separator = IsSeparator(folder[0]) ? Separator::kPresent : Separator::kAdd;
  CopyBounded(out, JoinStorePathCut(out, folder, size, separator).c_str(), size);
  size_t length = std::strlen(out);
  if (length > 0 && IsSeparator(out[length - 1])) out[length - 1] = '\0';
  return Confined(true, out, size, postoffice);
}

std::string MailboxDirectory(const char* postoffice, const char* mailbox, size_t limit) {
  if (!AcceptStoreNames(postoffice, mailbox, nullptr)) return {};
  const std::string postoffice_directory = JoinStorePath(MailRoot(), OrEmpty(postoffice));
  const std::string mailroot = JoinStorePath(postoffice_directory, "MAILROOT");
  std::string directory = JoinStorePathWithin(mailroot, OrEmpty(mailbox), limit);
  if (directory.empty() || !IsInsideStore(directory, postoffice)) return {};
  return directory;
}

std::string PostofficeMailboxDirectory(const char* postoffice, const char* mailbox) {
  char base[kStorePathSize];
  if (GetPostofficeDirectory(base, sizeof base, postoffice) == 0 ||
      !AcceptStoreNames(nullptr, mailbox, nullptr)) {
    return {};
  }
  std::string directory = JoinStorePath(JoinStorePath(base, "MAILROOT"), OrEmpty(mailbox));
  if (!IsInsideStore(directory, postoffice)) return {};
  return directory;
}

bool EndsWithSeparator(const char* text) {
  if (text == nullptr || *text == '\0') return false;
  return IsSeparator(text[std::strlen(text) - 1]);
}

std::string JoinStorePath(std::string_view directory, std::string_view name, Separator separator) {
  std::string path;
  path.reserve(directory.size() + 1 + name.size());
  path.append(directory);
  if (separator == Separator::kAdd) path += '\\';
  path.append(name);
  return path;
}

std::string JoinStorePathWithin(std::string_view directory, std::string_view name, size_t limit,
                                Separator separator) {
  std::string path = JoinStorePath(directory, name, separator);
  return path.size() < limit ? path : std::string();
}

std::string JoinStorePathCut(std::string_view directory, std::string_view name, size_t size,
                             Separator separator) {
  std::string path = JoinStorePath(directory, name, separator);
  path.resize(std::min(path.size(), size > 0 ? size - 1 : 0));
  return path;
}

}  // namespace qx
