#include "platform/power_loss_model.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace qx::platform {
namespace {

using EntryKey = std::pair<dev_t, ino_t>;

// A file written while tracking. `fd` is the model's own descriptor, opened
// anew rather than duplicated so that it shares no flock with the caller's
// handle; the file can then be cut back wherever it has been renamed to.
struct TrackedFile {
  int fd = -1;
  int64_t synced = 0;
};

struct DirectoryOperation {
  DurabilityStep kind = DurabilityStep::kNone;  // kCreate, kRename or kDelete
  EntryKey directory;
  std::string path;  // the name created, renamed to or deleted
  std::string from;  // a rename's old name
  SavedEntry saved;  // what a rename replaced or a delete removed
};

// Lock order: the model's mutex before the fault table's (SetPowerOff).
struct Model {
  std::mutex mutex;
  std::map<EntryKey, TrackedFile> files;       // guarded by mutex
  std::vector<DirectoryOperation> operations;  // guarded by mutex; oldest first
  int steps_to_cut = 0;                        // guarded by mutex; 0: no cut armed
  DurabilityStep cut_after = DurabilityStep::kNone;  // guarded by mutex
};

std::atomic<bool> tracking{false};

Model& TheModel() {
  static Model* model = new Model;  // never destroyed: usable during exit
  return *model;
}

EntryKey KeyOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

std::string ParentOf(const std::string& native) {
  const size_t slash = native.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

bool DirectoryKey(const std::string& native, EntryKey* key) {
  struct stat info {};
  if (::stat(ParentOf(native).c_str(), &info) != 0) return false;
  *key = KeyOf(info);
  return true;
}

int OwnDescriptor(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  return ::open(link, O_WRONLY | O_CLOEXEC | O_NOCTTY);
}

// For TrackLocked: a file seen for the first time counts as synced whole.
constexpr int64_t kSyncedWhole = -1;

// The record of the file open as `fd`, made when missing with `synced_if_new`
// bytes synced; null for what is not a plain file. REQUIRES: model.mutex held.
TrackedFile* TrackLocked(Model& model, int fd, int64_t synced_if_new) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  auto [it, inserted] = model.files.try_emplace(KeyOf(info));
  if (inserted) {
    it->second.fd = OwnDescriptor(fd);
    it->second.synced = synced_if_new == kSyncedWhole ? info.st_size : synced_if_new;
  }
  return &it->second;
}

void WriteRestored(const std::string& path, const SavedEntry& saved) {
  if (!saved.present) return;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, saved.mode);
  if (fd < 0) return;
  for (size_t done = 0; done < saved.bytes.size();) {
    const ssize_t written = ::write(fd, saved.bytes.data() + done, saved.bytes.size() - done);
    if (written <= 0 && errno != EINTR) break;
    if (written > 0) done += static_cast<size_t>(written);
  }
  ::close(fd);
}

void Undo(const DirectoryOperation& operation) {
  switch (operation.kind) {
    case DurabilityStep::kCreate:
      ::unlink(operation.path.c_str());
      break;
    case DurabilityStep::kRename:
      ::rename(operation.path.c_str(), operation.from.c_str());
      WriteRestored(operation.path, operation.saved);
      break;
    case DurabilityStep::kDelete:
      WriteRestored(operation.path, operation.saved);
      break;
    default:
      break;
  }
}

// REQUIRES: model.mutex held.
void ForgetLocked(Model& model) {
  for (auto& [key, file] : model.files) {
    if (file.fd >= 0) ::close(file.fd);
  }
  model.files.clear();
  model.operations.clear();
}

// REQUIRES: model.mutex held.
void LoseUnsyncedLocked(Model& model) {
  for (auto it = model.operations.rbegin(); it != model.operations.rend(); ++it) Undo(*it);
  for (auto& [key, file] : model.files) {
    struct stat info {};
    if (file.fd >= 0 && ::fstat(file.fd, &info) == 0 && info.st_size > file.synced) {
      [[maybe_unused]] const int cut = ::ftruncate(file.fd, file.synced);
    }
  }
  ForgetLocked(model);
}

// REQUIRES: model.mutex held.
void StepLocked(Model& model, DurabilityStep step) {
  if (model.steps_to_cut <= 0 || --model.steps_to_cut > 0) return;
  model.cut_after = step;
  LoseUnsyncedLocked(model);
  SetPowerOff(true);
}

// REQUIRES: model.mutex held.
void RecordOperationLocked(Model& model, DurabilityStep kind, const std::string& path,
                           std::string from, SavedEntry saved) {
  DirectoryOperation operation{kind, {}, path, std::move(from), std::move(saved)};
  if (DirectoryKey(path, &operation.directory)) model.operations.push_back(std::move(operation));
  StepLocked(model, kind);
}

}  // namespace

bool PowerLossTracking() { return tracking.load(std::memory_order_relaxed); }

void StartPowerLossTracking() {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  tracking.store(true, std::memory_order_release);
}

void StopPowerLossTracking() {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  tracking.store(false, std::memory_order_release);
  ForgetLocked(model);
  model.steps_to_cut = 0;
  model.cut_after = DurabilityStep::kNone;
  SetPowerOff(false);
}

void SimulatePowerLoss() {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  LoseUnsyncedLocked(model);
}

void CutPowerAfter(int steps) {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  model.steps_to_cut = std::max(steps, 0);
}

DurabilityStep PowerCutAfter() {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  return model.cut_after;
}

void RestorePower() {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  model.cut_after = DurabilityStep::kNone;
  SetPowerOff(false);
}

SavedEntry SaveEntryForUndo(const std::string& native) {
  SavedEntry saved;
  const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return saved;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return saved;
  }
  int64_t length = info.st_size;
  {
    Model& model = TheModel();
    std::lock_guard<std::mutex> lock(model.mutex);
    auto it = model.files.find(KeyOf(info));
    if (it != model.files.end()) length = std::min(length, it->second.synced);
  }
  saved.present = true;
  saved.mode = info.st_mode & 07777;
  saved.bytes.resize(static_cast<size_t>(length));
  size_t filled = 0;
  while (filled < saved.bytes.size()) {
    const ssize_t got = ::read(fd, saved.bytes.data() + filled, saved.bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    filled += static_cast<size_t>(got);
  }
  saved.bytes.resize(filled);
  ::close(fd);
  return saved;
}

void RecordOpened(int fd, const std::string& native, bool created) {
  if (!PowerLossTracking()) return;
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  if (TrackedFile* file = TrackLocked(model, fd, 0)) file->synced = 0;
  if (created) {
    RecordOperationLocked(model, DurabilityStep::kCreate, native, std::string(), SavedEntry{});
  } else {
    StepLocked(model, DurabilityStep::kCreate);
  }
}

void NoteWriting(int fd) {
  if (!PowerLossTracking()) return;
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  TrackLocked(model, fd, kSyncedWhole);
}

void RecordStep(DurabilityStep step) {
  if (!PowerLossTracking()) return;
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  StepLocked(model, step);
}

void RecordSynced(int fd) {
  if (!PowerLossTracking()) return;
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  struct stat info {};
  TrackedFile* file = TrackLocked(model, fd, kSyncedWhole);
  if (file != nullptr && ::fstat(fd, &info) == 0) file->synced = info.st_size;
  StepLocked(model, DurabilityStep::kDataSync);
}

void RecordRenamed(const std::string& from, const std::string& to, SavedEntry replaced) {
  if (!PowerLossTracking()) return;
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  RecordOperationLocked(model, DurabilityStep::kRename, to, from, std::move(replaced));
}

void RecordDeleted(const std::string& native, SavedEntry deleted) {
  if (!PowerLossTracking()) return;
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  RecordOperationLocked(model, DurabilityStep::kDelete, native, std::string(), std::move(deleted));
}

void RecordDirectorySynced(int fd) {
  if (!PowerLossTracking()) return;
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.mutex);
  struct stat info {};
  if (::fstat(fd, &info) == 0) {
    const EntryKey directory = KeyOf(info);
    std::erase_if(model.operations, [&](const DirectoryOperation& operation) {
      return operation.directory == directory;
    });
  }
  StepLocked(model, DurabilityStep::kDirectorySync);
}

}  // namespace qx::platform
