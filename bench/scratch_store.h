#pragma once
// The store a benchmark program measures: a mail root in a new directory
// under /tmp, a registry file of its own naming it (and any further keys the
// benchmark needs), diagnostics off, and the library started. The caller
// removes the directory at the end.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "qxstore.h"

// The new directory; the mail root is its "mail" folder. `more_registry` is
// registry text added after the mail root's key.
inline std::string StartScratchStore(std::string_view more_registry = {}) {
  char pattern[] = "/tmp/qxstore-bench-XXXXXX";
  const std::string root = mkdtemp(pattern);
  const std::string registry = root + "/registry.reg";
  std::ofstream(registry) << "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera]\r\n"
                             "\"Mail Root\"=\"" << root << "/mail\"\r\n\r\n"
                          << more_registry;
  std::filesystem::create_directories(root + "/mail");
  setenv("QXSTORE_REGISTRY", registry.c_str(), 1);
  setenv("QXSTORE_DIAG", "off", 1);
  StoreLibrary_Init();
  return root;
}
