#include "pim/provider_operations.h"

#include <functional>
#include <string>
#include <utility>

#include "common/block_files.h"
#include "folder/folder_files.h"
#include "frame/store_paths.h"
#include "pim/calendar_file_commit.h"
#include "platform/durable_replace.h"
#include "platform/errors.h"
#include "platform/file.h"

namespace qx {

namespace {

constexpr std::string_view kCalendarChangeText =
    "This file has been written to denote configuration change\n";

// The new text of a bucket, the operation's result and what becomes of the
// file.
struct BucketRewrite {
  ProviderTextWriter text;
  uint32_t result = 0;
  ResourceCommit commit = ResourceCommit::kReplace;
};

// Makes the new text from the file's text (empty for a missing file).
using Rewriter = std::function<BucketRewrite(std::string text)>;

enum class MissingFile { kFails, kReadsEmpty };

// A bucket ready to be written: its resource name and Calendar folder.
struct PreparedBucket {
  std::string name;  // empty for a bucket outside the store
  std::string directory;
};

// The bucket's names once its Calendar folder exists.
PreparedBucket PrepareBucket(const CalendarBucket& bucket) {
  if (!IsStoreBucket(bucket)) return {};
  std::string directory = CalendarDirectory(bucket.postoffice, bucket.mailbox);
  if (directory.empty()) return {};
  if (!platform::IsDirectory(directory)) platform::CreateDirectory(directory);
  return {BucketResourceName(bucket), std::move(directory)};
}

bool IsMissingError(uint32_t error) {
  return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
}

// The .TMP a commit puts in place, its data on disk before the rename.
bool WriteTemporary(const std::string& name, const std::string& text) {
  const std::string path = ResourceFilePath(name.c_str(), ".TMP");
  platform::File file =
      platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateAlways);
  if (!file.valid()) return false;
  bool written = file.Write(text);
  if (written && platform::SyncsReplacementOf(platform::FileKind::kIndex)) written = file.SyncData();
  if (!file.Close()) written = false;
  if (!written) platform::DeleteFile(path);
  return written;
}

void WriteChangeFlag(const std::string& calendar_directory) {
  platform::File flag = platform::File::Open(FolderFilePath(calendar_directory, kChangeFlagFileName),
                                             platform::Access::kWrite,
                                             platform::Disposition::kCreateAlways);
  if (flag.valid()) flag.Write(kCalendarChangeText);
}

// One write of a bucket, under its block from reading to commit.
uint32_t WriteBucket(const CalendarBucket& bucket, MissingFile missing, const Rewriter& rewrite) {
  const PreparedBucket prepared = PrepareBucket(bucket);
  const std::string& name = prepared.name;
  if (name.empty() || TakeResourceBlock(name.c_str()) == 0) return 0;
  std::string text;
  // Room for the line an add puts behind the text.
  if (!platform::ReadWholeFile(ResourceFilePath(name.c_str(), ".CAL"), &text, kProviderLineLimit + 1)) {
    if (missing == MissingFile::kFails || !IsMissingError(platform::GetLastError())) {
      RemoveResourceBlock(name.c_str());
      return 0;
    }
    text.clear();
  }
  const BucketRewrite rewritten = rewrite(std::move(text));
  if (!WriteTemporary(name, rewritten.text.text())) {
    RemoveResourceBlock(name.c_str());
    return 0;
  }
  ApplyResourceFile(name.c_str(), rewritten.commit);
  WriteChangeFlag(prepared.directory);
  return rewritten.result;
}

}  // namespace

uint32_t AddProviderEntry(const CalendarBucket& bucket, const ProviderEntry& entry) {
  if (!IsWritableIdentifier(entry.identifier)) return 0;
  return WriteBucket(bucket, MissingFile::kReadsEmpty, [&](std::string text) {
    BucketRewrite rewrite;
    // Most files are as a writer left them: the new line then goes after
    // their bytes, and nothing is parsed or formatted again.
    if (const ProviderTextSurvey survey = SurveyProviderText(text, entry.identifier);
        survey.as_written && !survey.matched) {
      rewrite.text = ProviderTextWriter(std::move(text));
      rewrite.text.Add(entry);
      rewrite.result = 1;
      return rewrite;
    }
    bool present = false;
    for (const ProviderLine& line : ParseProviderText(text)) {
      present = present || IdentifierMatches(entry.identifier, line.entry.identifier);
      rewrite.text.Add(line.entry);
    }
    if (!present) rewrite.text.Add(entry);
    rewrite.result = present ? 0 : 1;
    return rewrite;
  });
}

uint32_t RemoveProviderEntries(const CalendarBucket& bucket, std::string_view identifier) {
  return WriteBucket(bucket, MissingFile::kFails, [&](std::string text) {
    BucketRewrite rewrite;
    for (const ProviderLine& line : ParseProviderText(text)) {
      if (IdentifierMatches(identifier, line.entry.identifier)) {
        rewrite.result = 1;
      } else {
        rewrite.text.Add(line.entry);
      }
    }
    if (rewrite.result == 1 && rewrite.text.empty()) rewrite.commit = ResourceCommit::kDelete;
    return rewrite;
  });
}

uint32_t EditProviderEntries(const CalendarBucket& bucket, std::string_view old_identifier,
                             const ProviderEntry& replacement) {
  if (!IsWritableIdentifier(replacement.identifier)) return 0;
  return WriteBucket(bucket, MissingFile::kFails, [&](std::string text) {
    BucketRewrite rewrite;
    for (const ProviderLine& line : ParseProviderText(text)) {
      rewrite.text.Add(IdentifierMatches(old_identifier, line.entry.identifier) ? replacement
                                                                                : line.entry);
    }
    rewrite.result = 1;
    return rewrite;
  });
}

std::optional<std::vector<ProviderLine>> ReadProviderLines(const CalendarBucket& bucket) {
  const std::string name = PrepareBucket(bucket).name;
  if (name.empty()) return std::nullopt;
  WaitForResourceUnblock(name.c_str());
  std::string text;
  if (!platform::ReadWholeFile(ResourceFilePath(name.c_str(), ".CAL"), &text)) return std::nullopt;
  return ParseProviderText(text);
}

std::optional<std::vector<ProviderLine>> ReadProviderLines(const CalendarBucket& bucket,
                                                           const platform::Directory& folder) {
  if (!IsStoreBucket(bucket)) return std::nullopt;
  WaitForResourceUnblock(BucketResourceName(bucket).c_str());
  platform::File file = folder.OpenUnlockedForReading(bucket.key + ".CAL");
  if (!file.valid()) return std::nullopt;
  std::string text;
  char block[16384];
  for (int64_t got; (got = file.Read(block, sizeof block)) != 0;) {
    if (got < 0) return std::nullopt;
    text.append(block, static_cast<size_t>(got));
  }
  return ParseProviderText(text);
}

std::optional<ProviderEntry> GetProviderEntry(const CalendarBucket& bucket,
                                              std::string_view identifier) {
  const std::optional<std::vector<ProviderLine>> lines = ReadProviderLines(bucket);
  if (!lines) return std::nullopt;
  std::optional<ProviderEntry> found;
  for (const ProviderLine& line : *lines) {
    if (IdentifierMatches(identifier, line.entry.identifier)) found = line.entry;
  }
  return found;
}

void RaiseCalendarChangeFlag(std::string_view postoffice, std::string_view mailbox) {
  const std::string directory = CalendarDirectory(postoffice, mailbox);
  if (!directory.empty()) WriteChangeFlag(directory);
}

}  // namespace qx
