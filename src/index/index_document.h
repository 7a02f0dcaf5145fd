#pragma once
// Creating, starting, loading and saving index documents, and the folder's
// last UID kept on the root.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "platform/durable_replace.h"
#include "platform/file_version.h"
#include "xml/xml_document.h"

namespace qx {

// What callers pass to CreateIndexDocument to be printed when no document
// can be made.
inline constexpr const char* kXmlNotCompatibleMessage =
    "Talmera Folder Indexing Library is not compatible with the version of XML installed on this "
    "computer";

// The "XML Version" setting under the store provider key, read once per
// process: 4 or 6 when its text begins with '4' or '6', else 3.
int XmlVersionSetting();
// Tests only: the next XmlVersionSetting() reads the registry again.
void ForgetXmlVersionSetting();

// A new empty document. Only version 3 has a document class; for the others
// there is none: "[%d] Error creating DOM instance" goes to the event log,
// a non-empty `message` is printed with "%s\n", and the result holds none.
XmlDocument CreateIndexDocument(const char* message);

// Appends the empty root element BASEELEMENT. False (with a printed line)
// when the document is missing, already has a root, or the append fails.
bool InitializeIndexDocument(const XmlDocument& document);

// Loads the file at `path` into `document`, replacing its contents. True
// only when it parsed and has a root element; otherwise the reason is
// printed and the document is left empty. Bytes that are not valid UTF-8 are
// kept as they are. `version_read`, when given, receives the version of the
// file the bytes came from (when it could be opened).
bool LoadDocumentFile(const XmlDocument& document, std::string_view path,
                      std::optional<platform::FileVersion>* version_read = nullptr);

// LoadDocumentFile for a document that many folders and mailboxes do not
// have (a share list, an access list): a file or directory that is not
// there is no error and is not reported, only *missing set. Any other
// failure is reported as LoadDocumentFile reports it.
bool LoadDocumentFileIfPresent(const XmlDocument& document, std::string_view path,
                               bool* missing);

// Writes `document` to `path` as UTF-8 without a declaration. The text goes
// to a file beside it first and replaces the old file in one rename, so a
// failed save never leaves a truncated index behind. 1 on success, else 0
// with the reason printed. `version_written`, when given, receives the
// version of the file written (on success).
uint32_t SaveDocumentFile(const XmlDocument& document, std::string_view path,
                          std::optional<platform::FileVersion>* version_written = nullptr);

// SaveDocumentFile for a document the caller serialised itself, exactly as
// the serialiser would have printed it, in pieces written one after another.
uint32_t SaveDocumentText(std::initializer_list<std::string_view> text, std::string_view path,
                          std::optional<platform::FileVersion>* version_written = nullptr);

// An index file saved as SaveDocumentFile saves one, written while its text
// is still being made: pieces go to the file beside the index as they come,
// and Commit puts it in place. The first failure is kept; Commit then
// leaves the index as it was and reports it as SaveDocumentFile does. One
// not committed is abandoned.
class StreamedIndexFile {
 public:
  explicit StreamedIndexFile(std::string_view path);

  bool valid() const { return !failed_; }
  // The file being written, for writers of their own (see Fail).
  platform::File& file() { return replacement_.file(); }

  // Appends `bytes`; false once anything failed.
  bool Append(std::string_view bytes);
  // Writes `bytes` over the first bytes appended (at least as many); later
  // appends still go after the last.
  bool WriteAtStart(std::string_view bytes);
  // A failure the caller met writing file().
  void Fail(uint32_t error);

  // 1 when the file is in place, else 0 with the reason printed.
  uint32_t Commit(std::optional<platform::FileVersion>* version_written = nullptr);

 private:
  platform::FileReplacement replacement_;
  uint64_t written_ = 0;
  bool failed_ = false;
  uint32_t error_ = 0;  // the first failure's
};

// The folder's last UID from the root's LASTUID; when the attribute is
// missing, the number of the root's child nodes; when it is not a number
// that fits 32 bits, the highest UID of the entries. 0 without a root.
uint32_t DocumentLastUid(const XmlDocument& document);

// Sets the root's LASTUID. False without a root.
bool SetDocumentLastUid(const XmlDocument& document, uint32_t last_uid);

}  // namespace qx
