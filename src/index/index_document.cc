#include "index/index_document.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <string>

#include "frame/registry_readers.h"
#include "frame/report_error.h"
#include "index/index_format.h"
#include "xml/xml_error_report.h"
#include "frame/number_text.h"
#include "platform/diagnostics.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/file.h"

namespace qx {

namespace {

constexpr const char* kStoreProviderKey = "SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera\\Providers\\Store";
// What creating an unregistered document class reported.
constexpr int32_t kClassNotRegistered = static_cast<int32_t>(0x80040154u);
constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);
constexpr uint32_t kUnspecifiedError = 0x80004005u;
constexpr uint32_t kObjectNotFound = 0x800C0006u;
// Parse failures carry the parser's status in the XML parser's code range.
constexpr uint32_t kParseErrorBase = 0xC00CE500u;

std::atomic<int> xml_version{0};

// Writes a document to an open file in large pieces (the serialiser hands
// over a few kilobytes at a time), remembering the first failure.
class FileWriter : public pugi::xml_writer {
 public:
  explicit FileWriter(platform::File& file) : file_(file) { pending_.reserve(kPieceSize); }

  void write(const void* data, size_t size) override {
    pending_.append(static_cast<const char*>(data), size);
    if (pending_.size() >= kPieceSize) Flush();
  }

  // Writes what is pending; false once any write failed.
  bool Flush() {
    if (ok_ && !pending_.empty() && !file_.Write(pending_)) {
      ok_ = false;
      error_ = platform::GetLastError();
    }
    pending_.clear();
    return ok_;
  }

  uint32_t error() const { return error_; }

 private:
  static constexpr size_t kPieceSize = 256 * 1024;
  platform::File& file_;
  std::string pending_;
  bool ok_ = true;
  uint32_t error_ = 0;
};

struct TextPosition {
  long line = 1;
  long column = 1;
};

TextPosition PositionOf(std::string_view text, size_t offset) {
  TextPosition position;
  if (offset > text.size()) offset = text.size();
  size_t line_start = 0;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++position.line;
      line_start = i + 1;
    }
  }
  position.column = static_cast<long>(offset - line_start) + 1;
  return position;
}

void PrintLoadError(uint32_t code, TextPosition position, const std::string& reason) {
  platform::DiagPrintf("Error:\n");
  platform::DiagPrintf("Code = 0x%x\n", code);
  platform::DiagPrintf("Source = Line : %ld; Char : %ld\n", position.line, position.column);
  platform::DiagPrintf("Error Description = %s\n", reason.c_str());
}

void PrintOpenError(uint32_t system_error) {
  bool missing = system_error == platform::kErrorFileNotFound ||
                 system_error == platform::kErrorPathNotFound;
  uint32_t code = missing ? kObjectNotFound : ErrorCodeFromSystemError(system_error);
  std::string reason =
      missing ? std::string("The system cannot locate the object specified.") : ErrorCodeMeaning(code);
  PrintLoadError(code, TextPosition{0, 0}, reason);
}

void PrintParseError(std::string_view path, const pugi::xml_parse_result& result) {
  // The parse worked in place on its buffer; positions are counted on the
  // file as it is.
  std::string text;
  platform::ReadWholeFile(path, &text);
  PrintLoadError(kParseErrorBase + static_cast<uint32_t>(result.status),
                 PositionOf(text, static_cast<size_t>(result.offset)), result.description());
}

// The file's bytes in a buffer from pugixml's allocator, so the document can
// take it over and parse it in place; null on failure (last error set).
void* ReadIntoParserBuffer(std::string_view path, size_t* size,
                           std::optional<platform::FileVersion>* version) {
  platform::File file = platform::File::Open(path, platform::Access::kRead,
                                             platform::Disposition::kOpenExisting);
  if (!file.valid()) return nullptr;
  if (version != nullptr) *version = platform::FileVersionOf(file);
  int64_t length = file.Size();
  if (length < 0) return nullptr;
  void* buffer = pugi::get_memory_allocation_function()(static_cast<size_t>(length) + 1);
  if (buffer == nullptr) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return nullptr;
  }
  size_t filled = 0;
  while (filled < static_cast<size_t>(length)) {
    int64_t got = file.Read(static_cast<char*>(buffer) + filled, static_cast<size_t>(length) - filled);
    if (got < 0) {
      pugi::get_memory_deallocation_function()(buffer);
      return nullptr;
    }
    if (got == 0) break;
    filled += static_cast<size_t>(got);
  }
  *size = filled;
  return buffer;
}

void PrintSaveError(uint32_t system_error) {
  platform::DiagPrintf("Context: Saving Index File to Folder\n");
  uint32_t code = ErrorCodeFromSystemError(system_error);
  PrintXmlErrorBlock(code, "", ErrorCodeMeaning(code));
}

uint32_t WriteDocument(const XmlDocument& document, std::string_view path,
                       std::optional<platform::FileVersion>* version) {
  StreamedIndexFile file(path);
  if (file.valid()) {
    FileWriter writer(file.file());
    document.dom().save(writer, "", kXmlSaveFormat, pugi::encoding_utf8);
    if (!writer.Flush()) file.Fail(writer.error());
  }
  return file.Commit(version);
}

}  // namespace

int XmlVersionSetting() {
  int version = xml_version.load();
  if (version == 0) {
    char text[64] = {};
    ReadRegistryString(kStoreProviderKey, "XML Version", text, sizeof text);
    version = text[0] == '4' ? 4 : text[0] == '6' ? 6 : 3;
    xml_version.store(version);
  }
  return version;
}

void ForgetXmlVersionSetting() { xml_version.store(0); }

XmlDocument CreateIndexDocument(const char* message) {
  if (XmlVersionSetting() == 3) return XmlDocument::New();
  char event_text[64];
  std::snprintf(event_text, sizeof event_text, "[%d] Error creating DOM instance", kClassNotRegistered);
  ReportStoreError(event_text);
  if (message != nullptr && *message != '\0') platform::DiagPrintf("%s\n", message);
  return XmlDocument();
}

bool InitializeIndexDocument(const XmlDocument& document) {
  if (!document) {
    platform::DiagPrintf("pCurrentNode->appendChild(pNode) Failed: %ld\n", static_cast<long>(kOutOfMemory));
    return false;
  }
  if (document.DocumentElement()) {
    platform::DiagPrintf("DOMInitialize Failed. Error:\n");
    PrintXmlErrorBlock(kUnspecifiedError, "", "Only one top level element is allowed in an XML document.");
    return false;
  }
  if (!document.dom().append_child(kRootElement)) {
    platform::DiagPrintf("pCurrentNode->appendChild(pNode) Failed: %ld\n", static_cast<long>(kOutOfMemory));
    return false;
  }
  return true;
}

namespace {

bool IsMissingFileError(uint32_t error) {
  return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
}

bool LoadDocument(const XmlDocument& document, std::string_view path,
                  std::optional<platform::FileVersion>* version_read, bool report_missing) {
  if (!document) return false;
  size_t size = 0;
  void* buffer = ReadIntoParserBuffer(path, &size, version_read);
  if (buffer == nullptr) {
    document.dom().reset();
    const uint32_t error = platform::GetLastError();
    if (report_missing || !IsMissingFileError(error)) PrintOpenError(error);
    platform::SetLastError(error);
    return false;
  }
  pugi::xml_parse_result result =
      document.dom().load_buffer_inplace_own(buffer, size, pugi::parse_default, pugi::encoding_auto);
  if (!result) {
    document.dom().reset();
    PrintParseError(path, result);
    return false;
  }
  if (!document.DocumentElement()) {
    document.dom().reset();
    platform::DiagPrintf(
        "Error: The document \"%s\" was loaded, but the documentElement could not be accessed. "
        "There may be invalid permissions set on this object.\n",
        std::string(path).c_str());
    return false;
  }
  return true;
}

}  // namespace

bool LoadDocumentFile(const XmlDocument& document, std::string_view path,
                      std::optional<platform::FileVersion>* version_read) {
  return LoadDocument(document, path, version_read, true);
}

bool LoadDocumentFileIfPresent(const XmlDocument& document, std::string_view path,
                               bool* missing) {
  *missing = false;
  if (LoadDocument(document, path, nullptr, false)) return true;
  *missing = IsMissingFileError(platform::GetLastError());
  return false;
}

uint32_t SaveDocumentFile(const XmlDocument& document, std::string_view path,
                          std::optional<platform::FileVersion>* version_written) {
  if (!document) {
    platform::DiagPrintf("Error: Unknown Error\n");
    return 0;
  }
  try {
    return WriteDocument(document, path, version_written);
  } catch (...) {
    platform::DiagPrintf("Error: Unknown Error\n");
    return 0;
  }
}

uint32_t SaveDocumentText(std::initializer_list<std::string_view> text, std::string_view path,
                          std::optional<platform::FileVersion>* version_written) {
  StreamedIndexFile file(path);
  for (std::string_view piece : text) file.Append(piece);
  return file.Commit(version_written);
}

StreamedIndexFile::StreamedIndexFile(std::string_view path)
    : replacement_(path, std::string(path) + ".tmp", platform::FileKind::kIndex) {
  if (!replacement_.valid()) Fail(platform::GetLastError());
}

bool StreamedIndexFile::Append(std::string_view bytes) {
  if (valid() && !bytes.empty()) {
    if (replacement_.Write(bytes)) {
      written_ += bytes.size();
    } else {
      Fail(platform::GetLastError());
    }
  }
  return valid();
}

bool StreamedIndexFile::WriteAtStart(std::string_view bytes) {
  platform::File& file = replacement_.file();
  if (valid() && !(file.Seek(0) && file.Write(bytes) && file.Seek(static_cast<int64_t>(written_)))) {
    Fail(platform::GetLastError());
  }
  return valid();
}

void StreamedIndexFile::Fail(uint32_t error) {
  if (failed_) return;
  failed_ = true;
  error_ = error;
}

uint32_t StreamedIndexFile::Commit(std::optional<platform::FileVersion>* version_written) {
  // The rename keeps what the version is made of.
  if (valid() && version_written != nullptr) *version_written = platform::FileVersionOf(replacement_.file());
  if (valid() && !replacement_.Commit()) Fail(platform::GetLastError());
  if (valid()) return 1;
  replacement_.Abandon();
  PrintSaveError(error_);
  // The caller reports why the save failed, not what the clean-up met.
  platform::SetLastError(error_);
  return 0;
}

uint32_t DocumentLastUid(const XmlDocument& document) {
  pugi::xml_node root = document.DocumentElement();
  if (!root) return 0;
  if (const char* last_uid = AttributeValue(root, kLastUidAttribute)) {
    if (const std::optional<uint32_t> value = WholeUnsigned32(last_uid)) return *value;
    // Read as 0 it would hand the folder's UIDs out again from 1.
    uint32_t highest = 0;
    for (pugi::xml_node entry = root.child(kEntryElement); entry;
         entry = entry.next_sibling(kEntryElement)) {
      highest = std::max(highest, LeadingUnsigned32(entry.attribute(kUidAttribute).value()));
    }
    return highest;
  }
  uint32_t children = 0;
  for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) ++children;
  return children;
}

bool SetDocumentLastUid(const XmlDocument& document, uint32_t last_uid) {
  pugi::xml_node root = document.DocumentElement();
  return root && SetAttribute(root, kLastUidAttribute, std::to_string(last_uid));
}

}  // namespace qx
