#pragma once
// The store a benchmark program measures: a mail root in a new directory
// under /tmp, a registry file of its own naming it, diagnostics off, and
// the library started. The caller removes the directory at the end.

#include <stdlib.h>

#include <fstream>
#include <string>

#include "qxstore.h"

// The new directory; the mail root is its "mail" folder.
inline std::string StartScratchStore() {
  char pattern[] = "/tmp/qxstore-bench-XXXXXX";
  const std::string root = mkdtemp(pattern);
  const std::string registry = root + "/registry.reg";
  std::ofstream(registry) << "Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera]\r\n"
                             "\"Mail Root\"=\"" << root << "/mail\"\r\n\r\n";
  setenv("QXSTORE_REGISTRY", registry.c_str(), 1);
  setenv("QXSTORE_DIAG", "off", 1);
  StoreLibrary_Init();
  return root;
}
