#include "remote/forwarding_failure.h"

#include "remote/host_settings.h"
#include "remote/remote_state.h"

namespace qx {

namespace {

std::string HostLabel() {
  const std::string& host = Remote().current_host;
  std::string label = "remote host \"" + host + "\"";
  if (auto address = ReadHostString(host, "Address")) {
    label += " at " + *address + ":" + std::to_string(ReadHostPort(host));
  }
  return label;
}

}  // namespace

const std::optional<ForwardingFailure>& LastForwardingFailure() { return Remote().last_failure; }

ForwardingFailure CurrentHostFailure(uint32_t error, std::string_view what) {
  return ForwardingFailure{error, HostLabel() + ": " + std::string(what) + " (" + std::to_string(error) + ")"};
}

void NoteConnectionFailure(uint32_t error, std::string_view what) {
  Remote().connection_failure = CurrentHostFailure(error, what);
}

void ClearConnectionFailure() { Remote().connection_failure.reset(); }

}  // namespace qx
