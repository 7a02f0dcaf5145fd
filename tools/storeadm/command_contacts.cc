// storeadm contacts: a contact folder's cards listed from its index (brought
// in step with the files first), cards imported from address book files
// (one file per card), and every card exported as one stream.

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "report.h"
#include "store_objects.h"
#include "folder/folder_files.h"
#include "folder/folder_flags.h"
#include "frame/store_paths.h"
#include "index/index_document.h"
#include "index/index_format.h"
#include "json_text.h"
#include "message/item_file_name.h"
#include "pim/contact_scan.h"
#include "pim/vcard_cards.h"
#include "pim/vcard_rewrite.h"
#include "platform/durable_replace.h"
#include "platform/file.h"
#include "platform/listing.h"
#include "platform/text_compare.h"
#include "qxstore.h"
#include "store_names_check.h"

namespace qx::storeadm {
namespace {

int RunContacts(int argc, char** argv);

const Command kContacts{
    "contacts",
    "<postoffice> <mailbox> [<folder>] [--json]\n"
    "       storeadm contacts import <postoffice> <mailbox> <folder> <file.vcf>... [--json]\n"
    "       storeadm contacts export <postoffice> <mailbox> <folder>",
    "lists a contact folder's cards (name, e-mail, telephone); imports or exports vCards",
    RunContacts,
    "The folder defaults to \"Contacts\"; \"$VCFROOT\" and \"$VCFROOT/Work\" name the\n"
    "postoffice's contact store. A contact folder holds one vCard file per contact.\n"
    "\n"
    "Listing brings the folder's index in step with its files first, then prints one\n"
    "line per card: file, name (FN), e-mail and telephone, tab-separated, \"-\" for\n"
    "none (the preferred INTERNET address and the work voice number, else the first of\n"
    "each the card has); --json prints an array of objects with those four keys.\n"
    "\n"
    "import stores each card as a file of its own and brings the index in step:\n"
    "  a file holding one card keeps its name: alice.vcf -> alice.vcf\n"
    "    (a name without the .vcf ending gets it: alice.txt -> alice.txt.vcf);\n"
    "  a file holding several cards, as address books export them, gives one file\n"
    "    per card, numbered from 001 in the order of the cards:\n"
    "    team.vcf -> team-001.vcf, team-002.vcf, ...\n"
    "Nothing is written when any card's name exists in the folder already, repeats,\n"
    "begins with '_' or '.', or holds a path separator, nor when a file holds no card\n"
    "or a card without its END:VCARD. Each card is written byte for byte through a\n"
    "temporary \"_<name>\" and a rename.\n"
    "\n"
    "export writes every card file of the folder, in name order, to standard output\n"
    "as one .vcf stream.\n",
    "--json"};
const CommandRegistration kRegisterContacts(kContacts);

constexpr const char* kDefaultFolder = "Contacts";

int Failure(const std::string& reason) { return Fail("%s", reason.c_str()); }

// The folder's directory, or empty (with the reason printed) when the names
// lead out of the store or no such folder exists.
std::string ContactFolder(const char* postoffice, const char* mailbox, const char* folder) {
  if (!NamesStayInStore({{"postoffice", postoffice},
                         {"mailbox", mailbox},
                         {"folder", folder, NameKind::kFolder}})) {
    return {};
  }
  if (!RequirePostoffice(postoffice)) return {};
  char directory[kStorePathSize];
  if (BuildIndexFolderDirectory(directory, sizeof directory, postoffice, mailbox, folder) == 0) {
    LeadsOutOfStore("the folder");
    return {};
  }
  if (!platform::IsDirectory(directory)) {
    Failure(std::string("no folder ") + folder + " in " + postoffice + "/" + mailbox + " (" +
            ShownPath(directory) + ")");
    return {};
  }
  return directory;
}

bool IsContactName(const std::string& name) {
  return !name.empty() && name.front() != '_' && name.front() != '.';
}

// The folder's index in step with its files, retried while another writer
// holds it; when it never frees, the folder is marked changed so that the
// next open rescans it.
bool ScanFolder(const std::string& directory) {
  if (RetryWhileIndexBusy([&] { return ScanContacts(directory, false, 0) == 1; })) return true;
  MarkFolderChanged(directory.c_str());
  return false;
}

// ---- listing

struct ListedContact {
  std::string file;
  const char* name = nullptr;
  const char* email = nullptr;
  const char* telephone = nullptr;
};

// The attribute `preferred`, else the first whose name begins with `prefix`.
const char* Pick(pugi::xml_node element, const char* preferred, std::string_view prefix) {
  if (const pugi::xml_attribute exact = element.attribute(preferred)) return exact.value();
  for (const pugi::xml_attribute attribute : element.attributes()) {
    if (platform::StartsWithNoCase(attribute.name(), prefix)) return attribute.value();
  }
  return nullptr;
}

ListedContact Describe(pugi::xml_node element) {
  ListedContact contact;
  contact.file = element.attribute(kIdAttribute).value();
  if (const pugi::xml_attribute name = element.attribute("FN")) contact.name = name.value();
  contact.email = Pick(element, "EMAIL_PREF_INTERNET", "EMAIL");
  contact.telephone = Pick(element, "TEL_WORK_VOICE", "TEL");
  return contact;
}

std::string Shown(const char* text) { return text == nullptr || *text == '\0' ? "-" : text; }

std::string Json(const char* text) { return text == nullptr ? "null" : JsonString(text); }

int RunList(int argc, char** argv, bool json) {
  std::vector<const char*> names(argv + 1, argv + argc);
  if (names.size() < 2 || names.size() > 3) {
    return UsageError(kContacts, "expected a postoffice, a mailbox and perhaps a folder");
  }
  const char* folder = names.size() == 3 ? names[2] : kDefaultFolder;
  const std::string directory = ContactFolder(names[0], names[1], folder);
  if (directory.empty()) return kExitFailure;
  if (!ScanFolder(directory)) return Failure("the index of " + ShownPath(directory) + " is held by another writer");
  const XmlDocument document = XmlDocument::New();
  if (!LoadDocumentFile(document, FolderFilePath(directory, kIndexFileName))) {
    return Failure("the contact index of " + ShownPath(directory) + " cannot be read");
  }
  if (json) std::printf("[");
  size_t count = 0;
  for (const pugi::xml_node element : document.DocumentElement().children(kEntryElement)) {
    const ListedContact contact = Describe(element);
    if (json) {
      std::printf("%s\n  {\"file\": %s, \"name\": %s, \"email\": %s, \"telephone\": %s}",
                  count == 0 ? "" : ",", JsonString(contact.file).c_str(), Json(contact.name).c_str(),
                  Json(contact.email).c_str(), Json(contact.telephone).c_str());
    } else {
      std::printf("%s\t%s\t%s\t%s\n", contact.file.c_str(), Shown(contact.name).c_str(),
                  Shown(contact.email).c_str(), Shown(contact.telephone).c_str());
    }
    ++count;
  }
  if (json) std::printf("%s]\n", count == 0 ? "" : "\n");
  return kExitOk;
}

// ---- import

struct CardFile {
  std::string name;
  std::string_view bytes;
};

std::string BaseName(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The file names of the cards of one source file (see the help text).
std::vector<std::string> CardNames(const std::string& source, size_t cards) {
  std::string stem = BaseName(source);
  if (platform::EndsWithNoCase(stem, ".vcf")) stem.resize(stem.size() - 4);
  if (cards == 1) return {stem + ".vcf"};
  std::vector<std::string> names;
  for (size_t i = 1; i <= cards; ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "-%03zu.vcf", i);
    names.push_back(stem + number);
  }
  return names;
}

bool Refuse(const std::string& reason) {
  Failure(reason);
  return false;
}

// Every card of every source, named; false (with the reason printed) when
// any source or name is refused.
bool CollectCards(int count, char** sources, const std::string& directory,
                  std::vector<std::string>* contents, std::vector<CardFile>* cards) {
  contents->resize(static_cast<size_t>(count));
  std::set<std::string> taken;  // names in lower case: the folder ignores case
  for (int i = 0; i < count; ++i) {
    const std::string source = sources[i];
    std::string& text = (*contents)[static_cast<size_t>(i)];
    if (!platform::ReadWholeFile(source, &text)) return Refuse("cannot read " + source);
    const VCardCards split = SplitVCardCards(text);
    if (split.unterminated) return Refuse(source + ": a card has no END:VCARD line");
    if (split.cards.empty()) return Refuse(source + " holds no card (no BEGIN:VCARD line)");
    const std::vector<std::string> names = CardNames(source, split.cards.size());
    for (size_t card = 0; card < names.size(); ++card) {
      const std::string& name = names[card];
      if (!IsPlainFileName(name) || !IsContactName(name)) return Refuse("refused card name " + name);
      if (!taken.insert(platform::LowerCased(name)).second) {
        return Refuse("two cards would be named " + name);
      }
      if (platform::GetFileAttributes(JoinStorePath(directory, name)) != platform::kInvalidAttributes) {
        return Refuse(name + " exists in " + directory + " already");
      }
      cards->push_back(CardFile{name, split.cards[card]});
    }
  }
  return true;
}

int RunImport(int argc, char** argv, bool json) {
  if (argc < 5) {
    return UsageError(kContacts, "import needs a postoffice, a mailbox, a folder and vCard files");
  }
  const std::string directory = ContactFolder(argv[1], argv[2], argv[3]);
  if (directory.empty()) return kExitFailure;
  std::vector<std::string> contents;
  std::vector<CardFile> cards;
  if (!CollectCards(argc - 4, argv + 4, directory, &contents, &cards)) return kExitFailure;
  std::vector<JsonObject> written;
  for (const CardFile& card : cards) {
    const std::string path = JoinStorePath(directory, card.name);
    if (!platform::DurablyReplaceFile(path, RewriteTemporaryPath(path), card.bytes,
                                      platform::FileKind::kOther)) {
      return Failure("cannot write " + ShownPath(path) + ": " + LastErrorText());
    }
    if (json) {
      written.push_back(JsonObject().Add("file", card.name));
    } else {
      std::printf("%s\n", card.name.c_str());
    }
  }
  if (json) PrintJsonArray(written);
  if (!ScanFolder(directory)) {
    std::fprintf(stderr, "storeadm: the index of %s is held by another writer; it is marked "
                         "to be rescanned\n", ShownPath(directory).c_str());
  }
  return kExitOk;
}

// ---- export

int RunExport(int argc, char** argv) {
  if (argc != 4) return UsageError(kContacts, "export needs a postoffice, a mailbox and a folder");
  const std::string directory = ContactFolder(argv[1], argv[2], argv[3]);
  if (directory.empty()) return kExitFailure;
  for (platform::Listing files = platform::Listing::Open(FolderFilePath(directory, "*.vcf"));
       files.valid(); files.Next()) {
    const platform::FindData& file = files.current();
    if ((file.attributes & platform::kAttributeDirectory) != 0 || !IsContactName(file.name)) continue;
    std::string card;
    if (!platform::ReadWholeFile(JoinStorePath(directory, file.name), &card)) {
      return Failure("cannot read " + JoinStorePath(directory, file.name));
    }
    if (!card.empty() && card.back() != '\n') card += "\r\n";
    if (std::fwrite(card.data(), 1, card.size(), stdout) != card.size()) {
      FlushStandardOutputOrReport();
      return kExitFailure;
    }
  }
  return FlushStandardOutputOrReport() ? kExitOk : kExitFailure;
}

int RunContacts(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc >= 2 && std::strcmp(argv[1], "import") == 0) return RunImport(argc - 1, argv + 1, json);
  if (argc >= 2 && std::strcmp(argv[1], "export") == 0) {
    if (json) return UsageError(kContacts, "export writes vCards; --json does not apply");
    return RunExport(argc - 1, argv + 1);
  }
  return RunList(argc, argv, json);
}

}  // namespace
}  // namespace qx::storeadm
