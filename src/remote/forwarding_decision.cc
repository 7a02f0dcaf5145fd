#include "remote/forwarding_decision.h"

#include <string>

#include "platform/program.h"
#include "platform/text_compare.h"
#include "remote/connection_socket.h"
#include "remote/host_settings.h"
#include "remote/remote_connection.h"
#include "remote/remote_state.h"

namespace qx {

namespace {

// The original read the module path into a 260-byte buffer.
constexpr size_t kModulePathLimit = 259;

using platform::EqualsNoCase;

}  // namespace

bool IsOwnProgram() {
  std::string path = platform::MainModulePath().substr(0, kModulePathLimit);
  std::string name = platform::FileNamePart(path);
  size_t dot = name.find('.');
  return name.size() >= 2 && platform::StartsWithNoCase(name, "QX") &&
         dot != std::string::npos && EqualsNoCase(std::string_view(name).substr(dot), ".EXE");
}

uint32_t ForceDefaultHostEnabled() {
  if (IsOwnProgram()) return 0;
  return ReadUserDword(kAdministrationKey, "ForceDefaultHost").value_or(0);
}

bool ForwardingChosen() {
  if (IsOwnProgram()) return false;
  return !Remote().current_host.empty() || ForceDefaultHostEnabled() != 0;
}

RemoteDecision PrepareRemoteCall(std::string_view module_key) {
  if (IsOwnProgram()) return kRunLocally;
  RemoteState& state = Remote();
  if (state.current_host.empty()) {
    if (ForceDefaultHostEnabled() == 0) {
      CloseRemoteSocket();
      return kRunLocally;
    }
    state.current_host = "Default";
  }

  if (EqualsNoCase(state.current_host, state.connected_host) &&
      EqualsNoCase(state.loaded_library, module_key)) {
    if (RemotePing()) return kForward;
    if (!RemoteConnect()) return kForwardWithoutConnection;
    RemoteAuthenticate(module_key);
    return kForward;
  }

  // A live connection is not told QUIT here: RemoteConnect replaces it.
  if (!RemotePing() && RemoteSocket() != 0) {
    RemoteQuit();
    CloseRemoteSocket();
  }
  if (!RemoteConnect()) return kForwardWithoutConnection;
  // A rejected AUTH or LOAD still forwards; the host's reply then holds no result.
  RemoteAuthenticate(module_key);
  state.connected_host = state.current_host;
  return kForward;
}

}  // namespace qx
