#include "store/folder_list.h"

#include <memory>
#include <vector>

#include "frame/thread_state.h"
#include "platform/file.h"
#include "store/folder_index_file.h"

namespace qx {

namespace {

// The object kept in the thread's folder-list slot.
class ThreadFolderListMap : public ThreadOwned {
 public:
  std::map<std::string, std::unique_ptr<FolderList>> by_directory;
};

ThreadFolderListMap* ThreadLists(bool create) {
  auto* lists = dynamic_cast<ThreadFolderListMap*>(ThreadFolderLists());
  if (lists != nullptr || !create) return lists;
  auto made = std::make_unique<ThreadFolderListMap>();
  if (!SetThreadFolderLists(made.get())) return nullptr;
  return made.release();
}

uint64_t LastWriteTime(const std::string& path) {
  platform::FileTimes times;
  return platform::GetFileTimes(path, &times) ? times.last_write : 0;
}

}  // namespace

ChildList* FolderList::Load(const std::string& directory, bool canonical_names) {
  if (FolderIndexIsStale(directory)) {
    std::optional<std::vector<std::string>> names = RebuildFolderIndex(directory, canonical_names);
    if (!names) {
      child_lists_.erase(directory);
      return nullptr;
    }
    // What was just written, rather than the file read back: another
    // process may already have replaced it with an older list.
    return Keep(directory, *names);
  }
  ChildList* cached = Find(directory);
  if (cached == nullptr || cached->write_time != LastWriteTime(FolderIndexPath(directory))) {
    return Read(directory);
  }
  return cached;
}

ChildList* FolderList::Find(const std::string& directory) {
  auto found = child_lists_.find(directory);
  return found == child_lists_.end() ? nullptr : &found->second;
}

void FolderList::Clear() { child_lists_.clear(); }

ChildList* FolderList::Keep(const std::string& directory, const std::vector<std::string>& names) {
  ChildList& list = child_lists_[directory];
  list = ChildList{};
  for (const std::string& name : names) list.names.emplace(name, name);
  list.stamp = FolderIndexStamp(directory);
  list.write_time = LastWriteTime(FolderIndexPath(directory));
  return &list;
}

ChildList* FolderList::Read(const std::string& directory) {
  ChildList& list = child_lists_[directory];
  list = ChildList{};
  // Stamped before reading: a file replaced meanwhile then looks newer than
  // the list and is read again next time.
  uint64_t write_time = LastWriteTime(FolderIndexPath(directory));
  uint32_t stamp = FolderIndexStamp(directory);
  std::optional<std::vector<std::string>> names = ReadFolderIndexNames(directory);
  if (!names) return &list;
  for (const std::string& name : *names) list.names.emplace(name, name);
  list.stamp = stamp;
  list.write_time = write_time;
  return &list;
}

FolderList* ThreadFolderList(const std::string& directory) {
  ThreadFolderListMap* lists = ThreadLists(true);
  if (lists == nullptr) return nullptr;
  std::unique_ptr<FolderList>& list = lists->by_directory[directory];
  if (!list) list = std::make_unique<FolderList>();
  return list.get();
}

FolderList* ExistingThreadFolderList(const std::string& directory) {
  ThreadFolderListMap* lists = ThreadLists(false);
  if (lists == nullptr) return nullptr;
  auto found = lists->by_directory.find(directory);
  return found == lists->by_directory.end() ? nullptr : found->second.get();
}

void ForgetThreadFolderList(const std::string& directory) {
  if (ThreadFolderListMap* lists = ThreadLists(false)) lists->by_directory.erase(directory);
}

size_t ThreadFolderListCount() {
  ThreadFolderListMap* lists = ThreadLists(false);
  return lists == nullptr ? 0 : lists->by_directory.size();
}

}  // namespace qx
