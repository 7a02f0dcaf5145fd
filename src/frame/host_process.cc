#include "frame/host_process.h"

#include <string>

#include "frame/text_tokens.h"
#include "platform/program.h"

namespace qx {

namespace {

constexpr const char* kServerPrograms[] = {
    "QXSMTPC.EXE", "QXSMSC.EXE", "QXLDAPS.EXE", "QXIMAPS.EXE", "QXMAPIS.EXE",
    "QXMTA.EXE",   "QXPOC.EXE",  "QXPOPS.EXE",  "QXLCS.EXE",   "QXHTTPS.EXE",
    "QXPOPC.EXE",  "OUTLOOK.EXE", "QXRADMS.EXE",
};

constexpr size_t kModulePathBuffer = 260;

}  // namespace

uint32_t IsServerHostPath(std::string_view module_path) {
  std::string path(module_path.substr(0, kModulePathBuffer - 1));
  for (const char* program : kServerPrograms) {
    if (FindNoCase(path.c_str(), program) != nullptr) return 1;
  }
  return 0;
}

uint32_t IsServerHostProcess() { return IsServerHostPath(platform::MainModulePath()); }

ComApartment ComApartmentForHost() {
  return IsServerHostProcess() == 1 ? ComApartment::kMultithreaded : ComApartment::kSingleThreaded;
}

// No COM here: pugixml documents need no apartment, so either choice succeeds.
int32_t InitializeComForHost() { return 0; }

}  // namespace qx
