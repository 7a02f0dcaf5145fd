#include "platform/walk_guard.h"

#include "platform/real_path.h"

namespace qx::platform {

WalkGuard::WalkGuard(std::string_view root) : real_root_(RealPath(root)) {}

bool WalkGuard::MayRead(std::string_view path, const FindData& entry) const {
  if (!entry.symbolic_link) return true;
  if (!real_root_) return false;
  const std::optional<std::string> real = RealPath(path);
  return real && IsSameOrBelowReal(*real, *real_root_);
}

}  // namespace qx::platform
