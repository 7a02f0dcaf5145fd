#pragma once
// The identity of the program the library is loaded into.

#include <string>

namespace qx::platform {

// The main module's path: QXSTORE_PROGRAM when set, else the executable's
// path, with ".EXE" appended when its file name has no extension. So the
// server's own programs are recognised by their original names.
std::string MainModulePath();

// The executable's file as the system knows it (no QXSTORE_PROGRAM, no
// ".EXE"); empty when it cannot be read.
std::string ExecutablePath();

// The part after the last '\' or '/'.
std::string FileNamePart(const std::string& path);

}  // namespace qx::platform
