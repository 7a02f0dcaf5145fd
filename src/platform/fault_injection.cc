#include "platform/fault_injection.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/errors.h"
#include "platform/power_loss_model.h"

namespace qx::platform {
namespace {

struct Fault {
  FaultOp op;
  std::string path_part;
  uint32_t error;
  int remaining;  // negative: until cleared
};

struct FaultTable {
  std::mutex mutex;
  std::vector<Fault> faults;  // guarded by mutex
  bool power_off = false;     // guarded by mutex
};

// Whether a fault is armed or the power is off; written under the mutex.
std::atomic<bool> any_armed{false};

FaultTable& Table() {
  static FaultTable* table = new FaultTable;  // never destroyed: usable during exit
  return *table;
}

// REQUIRES: table.mutex held.
void UpdateArmedLocked(const FaultTable& table) {
  any_armed.store(table.power_off || !table.faults.empty(), std::memory_order_release);
}

}  // namespace

void InjectFault(FaultOp op, std::string_view path_part, uint32_t error, int count) {
  if (count == 0) return;
  FaultTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.faults.push_back(Fault{op, std::string(path_part), error, count});
  UpdateArmedLocked(table);
}

void ClearFaults() {
  FaultTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.faults.clear();
  UpdateArmedLocked(table);
}

void SetPowerOff(bool off) {
  FaultTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.power_off = off;
  UpdateArmedLocked(table);
}

bool FaultFires(FaultOp op, std::string_view native_path) {
  if (!any_armed.load(std::memory_order_relaxed)) return false;
  FaultTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (table.power_off) {
    SetLastError(kErrorNotReady);
    return true;
  }
  for (auto it = table.faults.begin(); it != table.faults.end(); ++it) {
    if (it->op != op || native_path.find(it->path_part) == std::string_view::npos) continue;
    const uint32_t error = it->error;
    if (it->remaining > 0 && --it->remaining == 0) table.faults.erase(it);
    UpdateArmedLocked(table);
    SetLastError(error);
    return true;
  }
  return false;
}

bool AnyFaultArmed() { return any_armed.load(std::memory_order_relaxed); }

bool FaultArmed(FaultOp op, std::string_view native_path) {
  if (!any_armed.load(std::memory_order_relaxed)) return false;
  FaultTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (table.power_off) return true;
  for (const auto& fault : table.faults) {
    if (fault.op == op && native_path.find(fault.path_part) != std::string_view::npos) return true;
  }
  return false;
}

bool FaultFiresForDescriptor(FaultOp op, int fd) {
  if (!any_armed.load(std::memory_order_relaxed)) return false;
  char link[64];
  char path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = ::readlink(link, path, sizeof path);
  if (length < 0) return FaultFires(op, std::string_view());
  return FaultFires(op, std::string_view(path, static_cast<size_t>(length)));
}

namespace {

// A full disk for programs that tests run (the command line tools, the
// remote host): when QXSTORE_TEST_DISK_FULL is set, every write and copy
// whose native path contains its value fails with 112 (the disk is full)
// until ClearFaults. Armed as the layer is loaded, before any program code
// runs, so no program needs to know of it.
bool ArmDiskFullFromEnvironment() {
  const char* path_part = std::getenv("QXSTORE_TEST_DISK_FULL");
  if (path_part == nullptr || *path_part == '\0') return false;
  InjectFault(FaultOp::kWrite, path_part, kErrorDiskFull, -1);
  InjectFault(FaultOp::kCopy, path_part, kErrorDiskFull, -1);
  return true;
}

[[maybe_unused]] const bool disk_full_armed = ArmDiskFullFromEnvironment();

}  // namespace

}  // namespace qx::platform
