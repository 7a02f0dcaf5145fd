#include "common/block_holds.h"

#include <mutex>
#include <unordered_map>

#include "platform/errors.h"

namespace qx {

namespace {

std::mutex holds_mutex;
// Guarded by holds_mutex. Keyed by the path as the taker spelled it; the
// releasers of the store build it the same way.
std::unordered_map<std::string, platform::File>& Holds() {
  static auto* holds = new std::unordered_map<std::string, platform::File>();
  return *holds;
}

}  // namespace

void KeepBlockHold(const std::string& path, platform::File block) {
  block.ShareWithOthers();
  std::lock_guard<std::mutex> lock(holds_mutex);
  Holds()[path] = std::move(block);
}

void DropBlockHold(const std::string& path) {
  const uint32_t error = platform::GetLastError();
  platform::File released;
  {
    std::lock_guard<std::mutex> lock(holds_mutex);
    auto found = Holds().find(path);
    if (found == Holds().end()) return;
    released = std::move(found->second);
    Holds().erase(found);
  }
  released.Close();
  platform::SetLastError(error);
}

}  // namespace qx
