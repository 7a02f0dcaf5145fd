#include "remote/remote_state.h"

#include <cstring>

namespace qx {

RemoteState& Remote() {
  static RemoteState state;
  return state;
}

std::string BoundedName(std::string_view name) {
  return std::string(name.substr(0, kRemoteNameLimit));
}

uint32_t SetCurrentHost(const char* name) {
  Remote().current_host = BoundedName(name == nullptr ? "" : std::string_view(name, strlen(name)));
  return 1;
}

}  // namespace qx
