#include "legacy/blob_records.h"

#include <optional>
#include <span>
#include <string>

#include "frame/store_names.h"
#include "frame/store_paths.h"
#include "legacy/bad_mail_path.h"
#include "legacy/blob_transfer.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "qxstore_record_text.h"

namespace qx {

namespace {

// Both records end in the same data and length fields.
template <class Record>
std::span<const uint8_t> WrittenBytes(const Record& blob) {
  size_t length = blob.length < kBlobChunkSize ? blob.length : kBlobChunkSize;
  return std::span<const uint8_t>(blob.data, length);
}

template <class Record>
uint32_t ReadNextChunk(BlobFamily family, const std::string& path, Record* blob) {
  std::optional<uint32_t> count = ReadBlobChunk(family, path, blob->data);
  if (!count) return 0;
  blob->length = *count;
  return *count > 0 ? 1 : 0;
}

// The bad mail family's path, or nullopt when the guard refuses it.
std::optional<std::string> GuardedPath(const BLOBRECORD& blob) {
  std::string path = RecordText(blob.path);
  if (!IsAllowedBadMailPath(path)) return std::nullopt;
  return path;
}

// The message family's file. Empty when the path does not fit; nullopt
// when the builder refuses the names or where they lead (last error 123 or
// 5), which fails even the write calls.
std::optional<std::string> MessageFilePath(const MESSAGEBLOBRECORD& blob) {
  char path[kStorePathSize];
  std::string postoffice = RecordText(blob.postoffice);
  std::string mailbox = RecordText(blob.mailbox);
  std::string folder = RecordText(blob.folder);
  std::string file = RecordText(blob.file);
  platform::SetLastError(platform::kErrorSuccess);
  if (GetBlobFilePath(path, sizeof path, postoffice.c_str(), mailbox.c_str(), folder.c_str(),
                      file.c_str()) != 1) {
    if (IsConfinementRefusal(platform::GetLastError())) return std::nullopt;
    return std::string();
  }
  return path;
}

}  // namespace

uint32_t LocalBLOBGetSize(BLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = GuardedPath(*blob);
  if (!path) return 0;
  blob->length = BlobFileSize(BlobFamily::kBadMail, *path);
  return 0;
}

uint32_t LocalBLOBGetFirstChunk(BLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = GuardedPath(*blob);
  if (!path) return 0;
  RestartBlobRead(BlobFamily::kBadMail);
  return ReadNextChunk(BlobFamily::kBadMail, *path, blob);
}

uint32_t LocalBLOBGetNextChunk(BLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = GuardedPath(*blob);
  if (!path) return 0;
  return ReadNextChunk(BlobFamily::kBadMail, *path, blob);
}

uint32_t LocalBLOBWriteFirstChunk(BLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = GuardedPath(*blob);
  if (!path) return 0;
  WriteFirstBlobChunk(*path, WrittenBytes(*blob));
  return 1;
}

uint32_t LocalBLOBWriteNextChunk(BLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = GuardedPath(*blob);
  if (!path) return 0;
  WriteNextBlobChunk(*path, WrittenBytes(*blob));
  return 1;
}

uint32_t LocalMessageItemBLOBGetSize(MESSAGEBLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = MessageFilePath(*blob);
  blob->length = BlobFileSize(BlobFamily::kMessageItem, path.value_or(std::string()));
  return 0;
}

uint32_t LocalMessageItemBLOBGetFirstChunk(MESSAGEBLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = MessageFilePath(*blob);
  if (!path) return 0;
  RestartBlobRead(BlobFamily::kMessageItem);
  return ReadNextChunk(BlobFamily::kMessageItem, *path, blob);
}

uint32_t LocalMessageItemBLOBGetNextChunk(MESSAGEBLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = MessageFilePath(*blob);
  if (!path) return 0;
  return ReadNextChunk(BlobFamily::kMessageItem, *path, blob);
}

uint32_t LocalMessageItemBLOBWriteFirstChunk(MESSAGEBLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = MessageFilePath(*blob);
  if (!path) return 0;
  WriteFirstBlobChunk(*path, WrittenBytes(*blob));
  return 1;
}

uint32_t LocalMessageItemBLOBWriteNextChunk(MESSAGEBLOBRECORD* blob) {
  if (blob == nullptr) return 0;
  std::optional<std::string> path = MessageFilePath(*blob);
  if (!path) return 0;
  WriteNextBlobChunk(*path, WrittenBytes(*blob));
  return 1;
}

std::optional<uint64_t> LocalMessageItemWriteWhole(const MESSAGEBLOBRECORD& names,
                                                   const SourceReader& read) {
  const std::optional<std::string> path = MessageFilePath(names);
  if (!path) return std::nullopt;
  if (path->empty()) {
    platform::SetLastError(platform::kErrorInvalidParameter);
    return std::nullopt;
  }
  platform::FileReplacement replacement(*path, "", platform::FileKind::kMessage);
  if (!replacement.valid()) return std::nullopt;
  uint64_t total = 0;
  uint8_t buffer[kBlobChunkSize * 8];
  for (int64_t count; (count = read(buffer, sizeof buffer)) != 0;
       total += static_cast<uint64_t>(count)) {
    if (count < 0) {
      platform::SetLastError(platform::kErrorGenFailure);
      return std::nullopt;
    }
    if (!replacement.file().Write(buffer, static_cast<size_t>(count))) return std::nullopt;
  }
  if (!replacement.Commit()) return std::nullopt;
  return total;
}

}  // namespace qx
