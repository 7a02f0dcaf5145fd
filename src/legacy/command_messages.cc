#include "legacy/command_messages.h"

#include <mutex>
#include <string>

#include "frame/store_paths.h"
#include "frame/bounded_text.h"
#include "frame/store_roots.h"
#include "legacy/command_message_file.h"
#include "qxstore_record_text.h"
#include "platform/file.h"
#include "platform/listing.h"

namespace qx {

namespace {

struct QueueListing {
  std::mutex mutex;  // guards listing
  platform::Listing listing;
};

QueueListing& Queue() {
  static QueueListing queue;
  return queue;
}

// Empty when the path does not fit or is refused (IsAllowedFullPath).
std::string MessagePath(const COMMANDMESSAGE& message) {
  std::string path = JoinStorePathWithin(RecordText(message.directory),
                                         RecordText(message.message_id), kCommandMessagePathSize);
  return IsAllowedFullPath(path) ? path : std::string();
}

}  // namespace

uint32_t LocalCommandMessageFindFirst(COMMANDMESSAGE* message) {
  if (message == nullptr) return 0;
  char pattern[kCommandMessagePatternSize];
  const std::string directory = RecordText(message->directory);
  bool fits = IsAllowedFullPath(directory) &&
              FormatBounded(pattern, sizeof pattern, "%s\\*.MAI", directory.c_str());
  QueueListing& queue = Queue();
  std::lock_guard<std::mutex> lock(queue.mutex);
  queue.listing = fits ? platform::Listing::Open(pattern) : platform::Listing();
  if (!queue.listing.valid()) return 0;
  SetRecordText(message->message_id, queue.listing.current().name);
  return 1;
}

uint32_t LocalCommandMessageFindNext(COMMANDMESSAGE* message) {
  if (message == nullptr) return 0;
  QueueListing& queue = Queue();
  std::lock_guard<std::mutex> lock(queue.mutex);
  if (!queue.listing.valid()) return 0;
  if (!queue.listing.Next()) {
    queue.listing = platform::Listing();
    return 0;
  }
  SetRecordText(message->message_id, queue.listing.current().name);
  return 1;
}

uint32_t LocalCommandMessageGet(COMMANDMESSAGE* message) {
  if (message == nullptr) return 0;
  std::string path = MessagePath(*message);
  std::string contents;
  if (path.empty() || !platform::ReadWholeFile(path, &contents)) return 0;
  ReadCommandMessageText(contents, message);
  return 1;
}

uint32_t LocalCommandMessageSet(COMMANDMESSAGE* message) {
  if (message == nullptr) return 0;
  std::string path = MessagePath(*message);
  if (path.empty()) return 0;
  platform::File file =
      platform::File::Open(path, platform::Access::kWrite, platform::Disposition::kCreateAlways);
  // An unwritable file is not reported: the call still succeeds.
  if (file.valid()) file.Write(FormatCommandMessage(*message));
  return 1;
}

}  // namespace qx
