// storeadm entry: the index entry a folder scan would build for a message
// file. A dry run: neither the file nor the folder's index is changed.

#include <cstdio>
#include <string>

#include "command.h"
#include "json_text.h"
#include "report.h"
#include "index/index_document.h"
#include "index/index_entry.h"
#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "message/message_rewrite.h"
#include "message/message_uid.h"
#include "message/temp_flags.h"
#include "platform/file.h"

namespace qx::storeadm {
namespace {

struct FolderCounter {
  uint32_t last_uid = 0;
  bool from_index = false;
};

// The folder's last UID as its index holds it; 0 when it has no index
// that loads.
FolderCounter ReadFolderCounter(const std::string& folder_dir) {
  FolderCounter counter;
  const std::string index_path = FolderFilePath(folder_dir, kIndexFileName);
  if (platform::GetFileAttributes(index_path) == platform::kInvalidAttributes) return counter;
  XmlDocument index = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (index && LoadDocumentFile(index, index_path)) {
    counter.last_uid = DocumentLastUid(index);
    counter.from_index = true;
  }
  return counter;
}

int RunEntry(int argc, char** argv);

const Command kEntry{"entry", "<folder directory> <message file name> [--json]",
                     "prints the index entry a folder scan would build for a message file",
                     RunEntry, nullptr, "--json"};
const CommandRegistration kRegisterEntry(kEntry);

int RunEntry(int argc, char** argv) {
  const bool json = TakeOption(&argc, argv, "--json");
  if (argc != 3) return UsageError(kEntry, "expected a folder directory and a file name");
  const std::string folder_dir = argv[1];
  const std::string file_name = argv[2];

  const uint32_t validity = FolderUidValidity(folder_dir);
  FolderCounter counter = ReadFolderCounter(folder_dir);
  uint32_t last_uid = counter.last_uid;
  int64_t size = platform::GetFileSize(JoinStorePath(folder_dir, file_name));
  MessageEntrySource source;
  if (size < 0 || !ReadMessageEntrySource(folder_dir, file_name, static_cast<uint32_t>(size), validity,
                                          false, &last_uid, &source)) {
    ReportError("cannot read message file %s in %s\n", file_name.c_str(),
                 folder_dir.c_str());
    return kExitFailure;
  }

  XmlDocument document = CreateIndexDocument(kXmlNotCompatibleMessage);
  if (!document || !InitializeIndexDocument(document)) return kExitFailure;
  pugi::xml_node entry =
      BuildMessageEntry(document.DocumentElement(), pugi::xml_node(), file_name, source.uid.uid,
                        source.headers);
  const bool rewrite = source.uid.rewrite_file && UidBrandingEnabled();
  const bool temp_flags = HasTempFlags(folder_dir, file_name);
  if (json) {
    JsonObject object;
    object.Add("entry", NodeXml(entry)).AddNumber("uid_validity", validity);
    object.AddNumber("folder_last_uid", counter.last_uid).AddBool("from_index", counter.from_index);
    object.Add("uid_rewrite", rewrite ? FormatUidHeader(validity, source.uid.uid) : "");
    object.AddBool("temporary_flags", temp_flags);
    PrintJsonArray({object});
    return kExitOk;
  }
  std::printf("%s\n", NodeXml(entry).c_str());
  std::printf("uid validity:      %u\n", validity);
  std::printf("folder last uid:   %u (%s)\n", counter.last_uid,
              counter.from_index ? "from the folder's index" : "no index loaded");
  if (rewrite) {
    std::printf("X-UID rewrite:     %s", FormatUidHeader(validity, source.uid.uid).c_str());
  } else {
    std::printf("X-UID rewrite:     none\n");
  }
  std::printf("temporary flags:   %s\n",
              temp_flags ? "stripped from the file once indexed" : "none");
  return kExitOk;
}

}  // namespace
}  // namespace qx::storeadm
